function [first, less] = state_lookup (S)
% [first, less] = state_lookup (S) reads the rows of S, a double matrix of 0
% and 1 entries with at least one row, as states. first (n x 1): first(j) is
% the first row equal to row j. less (n x K, K the symbols of the last row):
% less(j, k) is the first row equal to row j without the k-th symbol of the
% last row; where row j holds that symbol and no row equals row j without
% it, the first empty row (NaN where S has none), whose weight is 0 at every
% step; and -1 where row j lacks the symbol. Rows are compared by whole-number
% keys, the symbols of each block of up to 53 columns as the bits of a
% double, which holds them exactly.
  [n, L] = size (S);
  block = 1 + floor ((0:L-1) / 53);
  bit = pow2 (mod (0:L-1, 53));
  keys = zeros (n, max ([block, 1]));
  for b = 1:size (keys, 2)
    keys(:, b) = S(:, block == b) * bit(block == b)';
  end
  [distinct, first_of, group] = unique (keys, 'rows', 'first');
  first = first_of(group(:));
  first = first(:);
  if (nargout < 2)
    return;
  end
  empty = find (~any (S, 2), 1);
  if (isempty (empty))
    empty = NaN;
  end
  Q = find (S(n, :));
  less = -ones (n, numel (Q));
  for k = 1:numel (Q)
    holds = find (S(:, Q(k)));
    wanted = keys(holds, :);
    wanted(:, block(Q(k))) = wanted(:, block(Q(k))) - bit(Q(k));
    if (size (keys, 2) == 1)
      [found, at] = ismember (wanted, distinct);
    else
      [found, at] = ismember (wanted, distinct, 'rows');
    end
    rows_less = repmat (empty, numel (holds), 1);
    rows_less(found) = first_of(at(found));
    less(holds, k) = rows_less;
  end
end
