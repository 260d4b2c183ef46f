## The family tools' arguments and messages; what the families count is
## checked against every symbol sequence in tests/acceptance/accept_families.m.

## Rejected arguments: {function, arguments, identifier}.
%!test
%! cases = {"bounded_subsets", {3, 0}, "bounded_subsets:badSize"
%!          "bounded_subsets", {3, 4}, "bounded_subsets:badSize"
%!          "bounded_subsets", {0, 0}, "bounded_subsets:badSize"
%!          "bounded_subsets", {2.5, 1}, "bounded_subsets:badSize"
%!          "bounded_subsets", {[3 3], 1}, "bounded_subsets:badSize"
%!          "bounded_subsets", {"3", 1}, "bounded_subsets:badSize"
%!          "bounded_subsets", {3}, "bounded_subsets:badSize"
%!          "downward_closure", {zeros(0, 3)}, "downward_closure:badGenerators"
%!          "downward_closure", {[1 2]}, "downward_closure:badGenerators"
%!          "downward_closure", {[1 NaN]}, "downward_closure:badGenerators"
%!          "downward_closure", {{1}}, "downward_closure:badGenerators"
%!          "predecessor_table", {[0 0; 0 1; 1 1](2:3,:)}, "predecessor_table:noEmptyState"};
%! for c = 1:rows (cases)
%!   [name, args, id] = cases{c,:};
%!   assert (error_identifier (name, args{:}), id);
%! endfor

## Messages name the rows, the entries, the symbols and the fix.
%!test
%! S = [0 0 0; 1 0 0; 1 1 0; 1 1 1];
%! [~, problems] = check_family ([S; 1 0 0], [-1 -1 -1; 1 -1 -1; -1 2 -1; 1 1 3; 1 -1 -1]);
%! assert (problems{1}, "check_family:duplicateStates: row 5 repeats row 2, {1}: each copy counts its sequences again. Keep one row per state (an entry of P may name any copy).");
%! assert (regexp (problems{2}, '^check_family:lastRowLacksSymbol: the last row of S \(row 5\) lacks symbols 2 and 3, which other rows hold \(row 3 holds symbol 2\)'));
%! [~, problems] = check_family (S, [-1 -1 -1; 1 -1 -1; -1 2 -1; 1 1 2]);
%! assert (regexp (problems{1}, '^check_family:predecessorMissing: .*: P\(3, 1\) = -1 \(symbol 1\)\. .*empty row'));
%! assert (regexp (problems{2}, '^check_family:predecessorWrong: .*: P\(4, 3\) = 2 \(symbol 3; row 3 is meant\)\.'));
%! [~, problems] = check_family (S, zeros (4, 2));
%! assert (regexp (problems{1}, '^check_family:predecessorsSize: P is 4 x 2; .* n = 4 rows and at least K = 3 columns'));
