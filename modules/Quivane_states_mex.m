%QUIVANE_STATES_MEX  Sparse weighted transition matrix straight from a 0/1 membership matrix.
%   A = Quivane_states_mex(S, w) returns the (n-1) x (n-1) sparse matrix, n
%   being the rows of S, in which A(to, from) holds the weight of moving from
%   row from+1 of S to row to+1: w(c) where row to+1 is row from+1 with
%   symbol c added, and the sum of w over the symbols a state holds where
%   the two rows are the same state (the diagonal, and equal rows). Row 1 of
%   S takes no part.
%
%   A = Quivane_states_mex(S, w, list) adds the weights of the listed
%   symbols only, in list order; a symbol listed twice adds its weight
%   twice. Every element of list is read, whatever its shape. Without list,
%   every symbol is listed once, in ascending order.
%
%   A holds, bit for bit, what the code pipeline gives, wherever that
%   pipeline runs:
%     counts = Ortesk_count_mex([], S);
%     codes = Ortesk_slots_mex([], S, counts);
%     A = Quivane_mex(zeros(1, n - 1), w, list(:), codes, cumsum(counts), "sparse")
%   with no limit below 2^31 rows (the codes stop at 2148) and no codes in
%   between: each column's entries are found by looking rows up by content.
%   Cells whose weights sum to exactly 0 are not stored.
%
%   Inputs (real, full arrays: double is read in place; logical, single and
%   the integer classes are read as double(x), through one double copy):
%     S      n x L membership matrix; rows 2..n hold only 0 and 1.
%     w      exactly L symbol weights, any shape.
%     list   optional: symbols from 1 to L, any shape.
%   Result:
%     A      (n-1) x (n-1) sparse; row r and column r stand for row r+1 of S.
%
%   Example (every subset of two symbols):
%     S = [0 0; 1 0; 0 1; 1 1];
%     A = Quivane_states_mex(S, [0.25 0.75]);
%     full(A)     % [0.25 0 0; 0 0.75 0; 0.75 0.25 1]
%
%   The toolbox function transition_matrix(S, w, list) calls this module.
%   Errors have identifiers Quivane_states_mex:<reason>: notZeroOne,
%   badWeights, badSymbol, tooManyEntries, and those every module shares.
%
%   See also transition_matrix, Quivane_mex, Ortesk_count_mex.

%!shared S
%! S = [0 0; 1 0; 0 1; 1 1];
%!assert (full (Quivane_states_mex (S, [0.25 0.75])), [0.25 0 0; 0 0.75 0; 0.75 0.25 1])
%!assert (full (Quivane_states_mex (S, [0.25 0.75], [2 2])), [0 0 0; 0 1.5 0; 1.5 0 1.5])
%!error id=Quivane_states_mex:notZeroOne Quivane_states_mex ([0 0; 2 0], [1 1])
%!error id=Quivane_states_mex:badWeights Quivane_states_mex (S, 1)
%!error id=Quivane_states_mex:badSymbol Quivane_states_mex (S, [1 1], 3)
