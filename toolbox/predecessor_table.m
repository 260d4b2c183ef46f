function P = predecessor_table (S)
%PREDECESSOR_TABLE  Predecessor table of a membership matrix, for Zellmor_mex.
%   P = predecessor_table (S) returns the n x K predecessor table that
%   Zellmor_mex and Zellmor_raw_mex take with the n x L membership matrix S,
%   whose entries are all 0 or 1 (double, logical or any numeric class). The
%   conventions it encodes:
%
%     - The columns run over the symbols of the LAST row of S, in ascending
%       order: K is the number of 1 entries of S(end, :), and column k stands
%       for its k-th symbol. Put the largest state, the one that holds every
%       symbol, last.
%     - P(j, k) is the first row (counted from 1) equal to row j without the
%       k-th symbol of the last row, or -1 where row j lacks that symbol or
%       no row of S equals row j without it. Where rows repeat, the first of
%       them is taken.
%     - Row 1 is a state like any other here; the transition modules
%       (Ortesk_count_mex, Ortesk_slots_mex, Quivane_mex) are the ones that
%       leave row 1 out, with the empty state there.
%
%   S with an entry other than 0 or 1 is rejected with the identifier
%   predecessor_table:notZeroOne. Rows are compared by a whole-number key,
%   exact for up to 53 symbols; with more, by their symbols in blocks of 53.
%   All subsets of 20 symbols (2^20 rows) take about a second.
%
%   Example:
%     S = [0 0; 1 0; 0 1; 1 1];
%     P = predecessor_table (S)            % [-1 -1; 1 -1; -1 1; 3 2]
%     Zellmor_raw_mex (3, ones (2, 3), S, P) % [0; 1; 1; 6]
%
%   See also all_subsets, Zellmor_mex, Zellmor_raw_mex.
  if (nargin ~= 1)
    error ('predecessor_table:notZeroOne', 'predecessor_table: give one membership matrix S');
  end
  if (~((isnumeric (S) || islogical (S)) && isreal (S) && ismatrix (S)))
    error ('predecessor_table:notZeroOne', 'predecessor_table: S must be a real matrix of 0 and 1 entries');
  end
  S = full (double (S));
  bad = find (S ~= 0 & S ~= 1, 1);
  if (~isempty (bad))
    [r, c] = ind2sub (size (S), bad);
    error ('predecessor_table:notZeroOne', ...
           'predecessor_table: S must hold only 0 and 1; entry (%d, %d) is %.17g', r, c, S(r, c));
  end
  [n, L] = size (S);
  if (n == 0)
    P = zeros (0, 0);
    return;
  end
  Q = find (S(n, :));
  K = numel (Q);
  % Each row as one or more whole-number keys: the symbols of a block of up
  % to 53 columns as the bits of a double, which holds them exactly.
  block = 1 + floor ((0:L-1) / 53);
  bit = pow2 (mod (0:L-1, 53));
  keys = zeros (n, max ([block, 1]));
  for b = 1:size (keys, 2)
    keys(:, b) = S(:, block == b) * bit(block == b)';
  end
  % The distinct keys, each with the first row that has it.
  [distinct, first] = unique (keys, 'rows', 'first');
  P = repmat (-1, n, K);
  for k = 1:K
    holds = find (S(:, Q(k)));
    wanted = keys(holds, :);
    wanted(:, block(Q(k))) = wanted(:, block(Q(k))) - bit(Q(k));
    if (size (keys, 2) == 1)
      [found, at] = ismember (wanted, distinct);
    else
      [found, at] = ismember (wanted, distinct, 'rows');
    end
    P(holds(found), k) = first(at(found));
  end
end

%!assert (predecessor_table ([0 0; 1 0; 0 1; 1 1]), [-1 -1; 1 -1; -1 1; 3 2])
%!error <entry \(2, 1\) is 2> predecessor_table ([0 0; 2 0])
