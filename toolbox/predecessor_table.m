function P = predecessor_table (S)
%PREDECESSOR_TABLE  Predecessor table of a membership matrix, for Zellmor_mex.
%   P = predecessor_table (S) returns the n x K predecessor table that
%   Zellmor_mex, Zellmor_raw_mex and Zellmor_grad_mex take with the n x L
%   membership matrix S, whose entries are all 0 or 1 (double, logical or
%   any numeric class). With it the modules count, in F(j), the weight of
%   the symbol sequences whose running set of distinct symbols is a row of
%   S at every step and ends as row j: the sequences that stay in the
%   family. Every row is read as a state, the last included. The table:
%
%     - The columns run over the symbols of the LAST row of S, in ascending
%       order: K is the number of 1 entries of S(end, :), and column k stands
%       for its k-th symbol. Put the set of every symbol in play last.
%     - P(j, k) is -1 where row j lacks the k-th symbol. Where row j holds
%       it, P(j, k) is the first row equal to row j without that symbol, or,
%       where no row is that set, the row of the empty set (its first
%       copy): the empty set's weight is 0 at every step, so the entry keeps
%       the sequences already in row j that draw the symbol again and adds
%       none through the missing set. On a family that holds every subset
%       of its rows this is the row without the symbol throughout.
%     - Row 1 is a state like any other here; the transition modules
%       (Ortesk_count_mex, Ortesk_slots_mex, Quivane_mex) are the ones that
%       leave row 1 out, with the empty state there.
%
%   Refused: S with an entry other than 0 or 1 (predecessor_table:notZeroOne),
%   and S without an empty row where an entry needs one
%   (predecessor_table:noEmptyState; add the empty set as a row, row 1 by
%   convention). Warned: rows that repeat a state
%   (predecessor_table:duplicateStates), each copy counting its sequences
%   again, and a last row that lacks a symbol some row holds
%   (predecessor_table:lastRowLacksSymbol), which P has no column for.
%   A last row that only lists the symbols, never entered, takes a row of
%   P of -1 entries in place of the one returned here: bounded_subsets and
%   downward_closure return such families, and check_family checks a P
%   made elsewhere.
%
%   Rows are compared by a whole-number key, exact for up to 53 symbols;
%   with more, by their symbols in blocks of 53. All subsets of 20 symbols
%   (2^20 rows) take about a second.
%
%   Example (a chain: {1}, then {1, 2}, then {1, 2, 3}):
%     S = [0 0 0; 1 0 0; 1 1 0; 1 1 1];
%     P = predecessor_table (S)                % [-1 -1 -1; 1 -1 -1; 1 2 -1; 1 1 3]
%     Zellmor_raw_mex (3, ones (3, 3), S, P)   % [0; 1; 3; 1]: 111; 112 121 122; 123
%
%   See also all_subsets, bounded_subsets, downward_closure, check_family,
%   Zellmor_mex, Zellmor_raw_mex.
  if (nargin ~= 1)
    error ('predecessor_table:notZeroOne', 'predecessor_table: give one membership matrix S');
  end
  problem = zero_one_problem (S);
  if (~isempty (problem))
    error ('predecessor_table:notZeroOne', 'predecessor_table: S %s', problem);
  end
  S = full (double (S));
  n = size (S, 1);
  if (n == 0)
    P = zeros (0, 0);
    return;
  end
  [first, P] = state_lookup (S);
  [j, k] = find (isnan (P));
  if (~isempty (j))
    [j, at] = min (j);
    Q = find (S(n, :));
    symbol = Q(k(at));
    less = S(j, :);
    less(symbol) = 0;
    error ('predecessor_table:noEmptyState', ...
           ['predecessor_table: row %d of S, the state %s, holds symbol %d, and %s (the state without it) ' ...
            'is not a row of S: its entry of P names the empty set, whose weight is 0 at every step, and S ' ...
            'has no empty set. Add the empty set as a row (row 1 by convention, the row the transition ' ...
            'modules leave out).'], j, state_text (S(j, :)), symbol, state_text (less));
  end
  % A missing empty row is refused above where it matters, and only there.
  problems = state_problems (S, first);
  for p = find (~strcmp (problems(:, 1), 'noEmptyState'))'
    warning (['predecessor_table:' problems{p, 1}], 'predecessor_table: %s', problems{p, 2});
  end
end

%!assert (predecessor_table ([0 0; 1 0; 0 1; 1 1]), [-1 -1; 1 -1; -1 1; 3 2])
%!assert (predecessor_table ([0 0 0; 1 0 0; 1 1 0; 1 1 1]), [-1 -1 -1; 1 -1 -1; 1 2 -1; 1 1 3])
%!error <entry \(2, 1\) is 2> predecessor_table ([0 0; 2 0])
%!error id=predecessor_table:noEmptyState predecessor_table ([1 0; 0 1; 1 1])
