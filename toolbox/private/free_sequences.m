function [cells, steps, which] = free_sequences (p, lengths)
% The sequences that weigh every step with p alone, one per distinct length
% of lengths: cells (1 x U) holds the L x T weights, steps (1 x U) the
% lengths, and which (1 x B) the one of each length of lengths. Their
% log-likelihood is log Z0, the log of the weight of staying in the family.
  [steps, ~, which] = unique (lengths(:)');
  which = which(:)';
  cells = arrayfun (@(T) repmat (p, 1, T), steps, 'UniformOutput', false);
end
