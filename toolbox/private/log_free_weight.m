function logZ0 = log_free_weight (S, P, p, lengths, w)
% log Z0 of each length of lengths (1 x B): the log of the weight of the
% draw sequences of that length that stay in the family S, P under p alone,
% ended with final weights w. One batch call, one sequence per distinct
% length.
  [free, steps, which] = free_sequences (p, lengths);
  logZ0 = Zellmor_grad_mex (steps, free, S, P, w);
  logZ0 = logZ0(which);
end
