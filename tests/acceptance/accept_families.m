## What a family counts: with P = predecessor_table (S), the forward modules
## count the symbol sequences whose running set of distinct symbols is a
## row of S at every step, by the row it ends as. Checked against every
## sequence, written out by family_sequences, on small random families; then
## check_family on each problem it names, and the families the builders make.

## Within 1e-12 of the oracle, relative to its largest magnitude (at least 1).
%!function near (x, y, label)
%!  assert (isequal (size (x), size (y)), "%s: size", label);
%!  assert (max (abs (x(:) - y(:))) <= 1e-12 * max ([1; abs(y(:))]), "%s: %s against %s", label,
%!          mat2str (x(:)', 6), mat2str (y(:)', 6));
%!endfunction

## The forward modules on S with P against the oracle on its first rows
## (all of them by default; the others must stay 0), at T = 1..4: raw,
## rescaled with the log scale, logL, and logL ending in each state.
%!function counts_as_oracle (S, P, label, entered)
%!  if (nargin < 4)
%!    entered = rows (S);
%!  endif
%!  L = columns (S);
%!  for T = 1:4
%!    O = rand (L, T) + 0.1;
%!    F = [family_sequences(S(1:entered,:), O); zeros(rows (S) - entered, 1)];
%!    at = sprintf ("%s, T = %d", label, T);
%!    near (Zellmor_raw_mex (T, O, S, P), F, [at ", raw"]);
%!    [scaled, logScale] = Zellmor_mex (T, O, S, P);
%!    if (T == 1)
%!      near ([scaled; logScale], [F; 0], [at ", step 1 as it is"]);
%!    elseif (any (F))
%!      near ([scaled; logScale], [F / sum(F); log(sum (F))], [at ", rescaled"]);
%!    endif
%!    near (Zellmor_grad_mex (T, O, S, P), log (sum (F)), [at ", logL"]);
%!    for j = find (F)'
%!      w = double ((1:rows (S))' == j);
%!      near (Zellmor_grad_mex (T, O, S, P, w), log (F(j)), sprintf ("%s, logL ending in row %d", at, j));
%!    endfor
%!  endfor
%!endfunction

## The empty set, a random share of the other subsets of L symbols, and the
## full set last; all but the last row shuffled.
%!function S = random_family (L)
%!  S = all_subsets (L);
%!  S = S([true; rand(2^L - 2, 1) < 0.5; true], :);
%!  S = [S(randperm (rows (S) - 1), :); S(end, :)];
%!endfunction

%!test
%! rand ("seed", 24);
%! for L = 2:4
%!   for trial = 1:4
%!     S = random_family (L);
%!     counts_as_oracle (S, predecessor_table (S), sprintf ("L = %d, trial %d: %s", L, trial, mat2str (S)));
%!   endfor
%! endfor
%! counts_as_oracle ([0 0 0; 1 0 0; 1 1 0; 1 1 1], predecessor_table ([0 0 0; 1 0 0; 1 1 0; 1 1 1]), "the chain");
%! near (Zellmor_raw_mex (3, ones (3, 3), [0 0 0; 1 0 0; 1 1 0; 1 1 1], predecessor_table ([0 0 0; 1 0 0; 1 1 0; 1 1 1])),
%!       [0; 1; 3; 1], "the chain's sequences");

## Without the empty set, the table is refused, saying what to add.
%!test
%! rand ("seed", 25);
%! for L = 2:4
%!   S = random_family (L);
%!   S = S(any (S, 2), :);
%!   try
%!     predecessor_table (S);
%!     error ("predecessor_table took %s, which has no empty set", mat2str (S));
%!   catch err
%!     assert (err.identifier, "predecessor_table:noEmptyState");
%!     assert (! isempty (strfind (err.message, "Add the empty set as a row")), err.message);
%!   end_try_catch
%! endfor

## check_family: {label, S, P, the problems it names in order}.
%!test
%! chain = [0 0 0; 1 0 0; 1 1 0; 1 1 1];
%! P = [-1 -1 -1; 1 -1 -1; 1 2 -1; 1 1 3];
%! change = @(P, j, k, value) subsasgn (P, substruct ("()", {j, k}), value);
%! cases = {
%!   "the chain", chain, P, {}
%!   "a column beyond K", chain, [P, 7 * ones(4, 1)], {}
%!   "a last row that lists", chain, change(P, 4, 1:3, -1), {}
%!   "an entry naming a second copy", [0 0; 1 0; 1 0; 1 1], [-1 -1; 1 -1; 1 -1; 1 3], {"duplicateStates"}
%!   "an entry other than 0 and 1", [0 0; 2 0; 1 1], [-1 -1; 1 -1; 2 1], {"notZeroOne"}
%!   "no empty set", [1 0; 0 1; 1 1], [-1 -1; -1 -1; 2 1], {"noEmptyState", "predecessorMissing"}
%!   "a last row that lacks a symbol", [0 0 0; 1 0 0; 0 0 1; 1 1 0], [-1 -1; 1 -1; -1 -1; 1 2], {"lastRowLacksSymbol"}
%!   "too few rows", chain, P(1:3, :), {"predecessorsSize"}
%!   "too few columns", chain, P(:, 1:2), {"predecessorsSize"}
%!   "the table of -1 where the set is missing", chain, change(P, 3:4, 1, -1), {"predecessorMissing"}
%!   "an entry where the row lacks the symbol", chain, change(P, 2, 2, 1), {"predecessorWhereLacking"}
%!   "an entry naming another state", chain, change(P, 3, 2, 3), {"predecessorWrong"}
%!   "an entry naming a state for the missing set", chain, change(P, 3, 1, 2), {"predecessorWrong"}
%!   "an entry that is no row number", chain, change(P, 4, 3, 2.5), {"predecessorWrong"}
%!   "every problem of P at once", chain, change(change(change(P, 4, 3, 0), 2, 3, 1), 3, 2, -1), ...
%!     {"predecessorMissing", "predecessorWhereLacking", "predecessorWrong"}};
%! for c = 1:rows (cases)
%!   [label, S, P, expected] = cases{c,:};
%!   [ok, problems] = check_family (S, P);
%!   found = regexprep (problems, '^check_family:(\w+):.*', '$1');
%!   assert (isequal (found(:), expected(:)), "%s: %s", label, strjoin (problems', "\n"));
%!   assert (ok == isempty (expected), label);
%!   try
%!     check_family (S, P);
%!     assert (ok, label);
%!   catch err
%!     assert (strcmp (err.identifier, ["check_family:" expected{1}]) && strcmp (err.message, problems{1}), label);
%!   end_try_catch
%! endfor
%! assert (check_family (chain));
%! [~, problems] = check_family ([1 0; 0 1; 1 1]);
%! assert (numel (problems), 1);

## The builders: every row what the family says, in ascending order of
## code, and counting as the oracle on the rows entered; the listed last
## row is never entered.
%!test
%! rand ("seed", 26);
%! codes = @(S) S * pow2 (0:columns (S) - 1)';
%! families = {};
%! for L = 2:4
%!   S = all_subsets (L);
%!   for m = 1:L
%!     families(end+1,:) = {sprintf("bounded_subsets (%d, %d)", L, m), @() bounded_subsets(L, m), sum(S, 2) <= m};
%!   endfor
%!   M = double (rand (randi (3), L) < 0.5);
%!   families(end+1,:) = {sprintf("downward_closure (%s)", mat2str (M)), @() downward_closure(M), ...
%!                        any(all(S <= permute(M, [3 2 1]), 2), 3)};
%! endfor
%! for f = 1:rows (families)
%!   [label, build, inside] = families{f,:};
%!   [S, P] = build ();
%!   all_sets = all_subsets (columns (S));
%!   union = any (all_sets(inside,:), 1);
%!   entered = rows (S) - ! inside(codes (union) + 1);
%!   assert (isequal (S(1:entered,:), all_sets(inside,:)) && isequal (S(end,:), double (union)), label);
%!   assert (issorted (codes (S)) && check_family (S, P), label);
%!   counts_as_oracle (S, P, label, entered);
%! endfor
%! assert (isequal (nthargout (1:2, @bounded_subsets, 5, 5), nthargout (1:2, @all_subsets, 5)));
