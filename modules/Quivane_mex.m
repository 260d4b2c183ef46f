%QUIVANE_MEX  Weighted transition matrix from bucketed transition codes.
%   A = Quivane_mex(X, w, list, codes, cum) returns the a x a matrix, a being
%   the column count of X, in which every transition code in the bucket of a
%   listed symbol adds that symbol's weight to A(to, from).
%
%   A = Quivane_mex(X, w, list, codes, cum, form) with form "sparse" returns
%   A as a sparse matrix: full(A) holds exactly the same values, bit for bit,
%   and no entry is stored whose value is 0 (as where weights cancel). Time
%   and memory grow with a and the number of codes, never with a^2. "full"
%   (the default) returns the dense matrix.
%
%   Inputs (real, full arrays: double is read in place; logical, single and
%   the integer classes are read as double(x), through one double copy):
%     X      only its column count a is used (the rows of S less one, as
%            zeros(1, size(S, 1) - 1); S itself gives a too small a).
%     w      symbol weights; w(s) is the weight of symbol s.
%     list   symbols to use, 1-based, one per row: a column. A row vector of
%            several symbols is read as its first symbol alone, by design
%            (its row count is the list's length); pass list(:) for them all.
%            A symbol listed twice adds its weight twice.
%     codes  the result of Ortesk_slots_mex.
%     cum    cumsum of the counts from Ortesk_count_mex, not the counts: it
%            must never decrease and must end at numel(codes).
%     form   optional: the text "full" or "sparse", in any case ("Sparse"),
%            as text or a string scalar.
%   Result:
%     A      a x a; row r and column r stand for row r+1 of S. With 0/1
%            entries, distinct rows, every symbol listed once and weights
%            summing to 1, each column of A sums to 1 when the state space is
%            closed under adding a symbol.
%
%   Example (the whole pipeline):
%     S = [0 0; 1 0; 0 1; 1 1];
%     counts = Ortesk_count_mex([], S);
%     codes = Ortesk_slots_mex([], S, counts);
%     A = Quivane_mex(zeros(1, size(S, 1) - 1), [0.25 0.75], [1; 2], codes, cumsum(counts))
%     As = Quivane_mex(zeros(1, size(S, 1) - 1), [0.25 0.75], [1; 2], codes, cumsum(counts), "sparse");
%     isequal(full(As), A)     % true
%
%   Errors have identifiers Quivane_mex:<reason>, for instance
%   Quivane_mex:badSymbol, Quivane_mex:badCum (counts passed for their
%   running totals), Quivane_mex:badCode or Quivane_mex:badForm.
%
%   See also Ortesk_count_mex, Ortesk_slots_mex.

%!shared codes, cum
%! codes = [1000001 3000002 3000003 2000002 3000001 3000003];
%! cum = [3; 6];
%!assert (Quivane_mex (zeros (1, 3), [0.25 0.75], [1; 2], codes, cum), [0.25 0 0; 0 0.75 0; 0.75 0.25 1])
%!error id=Quivane_mex:badSymbol Quivane_mex (zeros (1, 3), [0.25 0.75], 3, codes, cum)
%!error id=Quivane_mex:badCum Quivane_mex (zeros (1, 3), [0.25 0.75], [1; 2], codes, [3; 3])
