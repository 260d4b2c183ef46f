function [S, P] = bounded_subsets (L, m)
%BOUNDED_SUBSETS  Family of every subset of at most m of L symbols, with its predecessor table.
%   [S, P] = bounded_subsets (L, m), for whole numbers 1 <= m <= L, returns
%   the membership matrix S of every subset of at most m of the symbols
%   1..L, the empty set first, in ascending order of the code
%   sum (2 .^ (symbols - 1)), the order all_subsets uses, and its
%   predecessor table P. With them the forward modules count, in F(j), the
%   weight of the symbol sequences with at most m distinct symbols whose
%   distinct symbols end as row j.
%
%   When m < L, the full set follows the subsets as the last row, to list
%   the symbols (the columns of P run over the last row's symbols); its row
%   of P is all -1, so the recursion never enters it and its weight is 0.
%   bounded_subsets (L, L) is all_subsets (L).
%
%   S has sum (nchoosek (L, 0:m)) rows, plus the listed one: 616,667 for
%   bounded_subsets (20, 10), built in about half a second.
%
%   Example:
%     [S, P] = bounded_subsets (3, 1)
%     % S = [0 0 0; 1 0 0; 0 1 0; 0 0 1; 1 1 1]
%     % P = [-1 -1 -1; 1 -1 -1; -1 1 -1; -1 -1 1; -1 -1 -1]
%     Zellmor_raw_mex (3, ones (3, 3), S, P)   % [0; 1; 1; 1; 0]: 111, 222, 333
%
%   See also all_subsets, downward_closure, predecessor_table, check_family.
  if (nargin ~= 2 || ~is_count (L) || ~is_count (m) || m < 1 || m > L)
    error ('bounded_subsets:badSize', ...
           'bounded_subsets: give whole numbers L and m with 1 <= m <= L, the symbols and the most a subset holds');
  end
  if (m == L)
    [S, P] = all_subsets (L);
    return;
  end
  % Symbol by symbol, each subset so far followed by those that add the
  % symbol to one with fewer than m: codes stay in ascending order.
  subsets = sum (arrayfun (@(k) nchoosek (L, k), 0:m));
  S = zeros (subsets + 1, L);
  members = zeros (subsets, 1);
  filled = 1;
  for c = 1:L
    from = find (members(1:filled) < m);
    to = filled + (1:numel (from))';
    S(to, :) = S(from, :);
    S(to, c) = 1;
    members(to) = members(from) + 1;
    filled = filled + numel (from);
  end
  S(end, :) = 1;
  P = predecessor_table (S);
  P(end, :) = -1;
end

function yes = is_count (x)
  yes = isnumeric (x) && isreal (x) && isscalar (x) && x == fix (x) && x >= 0 && isfinite (x);
end

%!test
%! [S, P] = bounded_subsets (3, 1);
%! assert (S, [0 0 0; 1 0 0; 0 1 0; 0 0 1; 1 1 1]);
%! assert (P, [-1 -1 -1; 1 -1 -1; -1 1 -1; -1 -1 1; -1 -1 -1]);
%!error id=bounded_subsets:badSize bounded_subsets (3, 4)
