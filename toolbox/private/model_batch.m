function [logL, D, D0] = model_batch (S, P, p, O, lengths, w)
% One batch call of Zellmor_grad_mex over the sequences whose weights
% O(:, t) = p .* E(:, y(t)) lie end to end in O (L x sum (lengths)), together
% with one sequence of weights p per distinct length. logL (1 x B) holds the
% conditional log-likelihoods log Z(y) - log Z0. D (L x sum (lengths)) holds
% the derivatives of each log Z(y) with respect to O, end to end, and D0
% (L x 1) the derivative of the sum of every sequence's log Z0 with respect
% to p.
  B = numel (lengths);
  [free, steps, which] = free_sequences (p, lengths);
  cells = [mat2cell(O, size (O, 1), lengths), free];
  [logZ, dO] = Zellmor_grad_mex ([lengths, steps], cells, S, P, w);
  D = [dO{1:B}];
  per_length = cellfun (@(d) sum (d, 2), dO(B+1:end), 'UniformOutput', false);
  D0 = [per_length{:}] * accumarray (which(:), 1, [numel(steps) 1]);
  logL = logZ(1:B) - logZ(B + which);
end
