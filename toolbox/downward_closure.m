function [S, P] = downward_closure (M)
%DOWNWARD_CLOSURE  Family of every subset of some row of M, with its predecessor table.
%   [S, P] = downward_closure (M), M a matrix of 0 and 1 entries with at
%   least one row (each row a set of the symbols 1..columns (M), as in a
%   membership matrix), returns the membership matrix S of every set that
%   is a subset of some row of M, the empty set first, in ascending order
%   of the code sum (2 .^ (symbols - 1)) (the order all_subsets uses), and
%   its predecessor table P. With them the forward modules count, in F(j),
%   the weight of the symbol sequences whose distinct symbols fit within
%   some row of M and end as row j.
%
%   The union of M's rows is last, to list the symbols (the columns of P run
%   over the last row's symbols). Where it is a subset of some row of M it
%   is a state like the others; where it is not, it is listed only: its row
%   of P is all -1, so the recursion never enters it and its weight is 0.
%
%   Each row of M of r symbols adds its 2^r subsets; rows that repeat or
%   overlap give each set once.
%
%   Example (the symbols 1 and 2 together, or 3 alone):
%     [S, P] = downward_closure ([1 1 0; 0 0 1])
%     % S = [0 0 0; 1 0 0; 0 1 0; 1 1 0; 0 0 1; 1 1 1]
%     % P(end, :) = [-1 -1 -1]: {1, 2, 3} only lists the symbols
%     Zellmor_raw_mex (2, ones (3, 2), S, P)   % [0; 1; 1; 2; 1; 0]
%
%   See also bounded_subsets, all_subsets, predecessor_table, check_family.
  if (nargin ~= 1)
    error ('downward_closure:badGenerators', 'downward_closure: give one matrix M, each row a set of symbols');
  end
  problem = zero_one_problem (M);
  if (isempty (problem) && size (M, 1) == 0)
    problem = 'must have at least one row';
  end
  if (~isempty (problem))
    error ('downward_closure:badGenerators', 'downward_closure: M %s', problem);
  end
  M = unique (full (double (M)), 'rows');
  L = size (M, 2);
  subsets = cell (size (M, 1), 1);
  for g = 1:size (M, 1)
    symbols = find (M(g, :));
    subsets{g} = zeros (pow2 (numel (symbols)), L);
    subsets{g}(:, symbols) = all_subsets (numel (symbols));
  end
  % Rows sorted by their last column first are in ascending order of code.
  S = fliplr (unique (fliplr (vertcat (subsets{:})), 'rows'));
  union = double (any (M, 1));
  listed = ~isequal (S(end, :), union);
  if (listed)
    S(end+1, :) = union;
  end
  P = predecessor_table (S);
  if (listed)
    P(end, :) = -1;
  end
end

%!test
%! [S, P] = downward_closure ([1 1 0; 0 0 1]);
%! assert (S, [0 0 0; 1 0 0; 0 1 0; 1 1 0; 0 0 1; 1 1 1]);
%! assert (P(end, :), [-1 -1 -1]);
%!error id=downward_closure:badGenerators downward_closure (zeros (0, 3))
