%ZELLMOR_RAW_MEX  Last-step state weights of the forward recursion, unscaled.
%   F = Zellmor_raw_mex(T, O, S, P) propagates a weight for every state (row
%   of the membership matrix S) through T steps and returns the weights of the
%   last step as they are: F(i) is the total weight of the symbol sequences
%   whose running set of distinct symbols is a row of S at every step and
%   ends as state i (the sequences that stay in the family S lists), the
%   weight of a sequence being the product of O(symbol, step) over its
%   steps. That holds with P = predecessor_table(S), or any P that
%   check_family(S, P) passes.
%
%   F = Zellmor_raw_mex(T, O, S, P, steps) returns the weights of the chosen
%   steps: column i of F is step steps(i), exactly as
%   Zellmor_raw_mex(steps(i), O, S, P) gives it. Raw weights underflow to 0
%   over long sequences; Zellmor_mex's second output keeps their scale.
%
%   F = Zellmor_raw_mex(T, {O1, O2, ...}, S, P, ...) runs a batch, as
%   Zellmor_mex does: the single calls' results side by side, bit for bit.
%
%   Inputs (real, full arrays: double is read in place; logical, single and
%   the integer classes are read as double(x), through one double copy):
%     T  step count: the first element is read; a whole number, 1 <= T < 2^31.
%     O  observation weights, L x T (symbols x steps), read flat with L rows;
%        L rows or a vector (read flat as it is), never another row count.
%     S  membership matrix, n x L: S(i,c) == 1 when symbol c belongs to state i.
%        The last row holds every symbol in play; its K symbols order the
%        columns of P. The empty set is a row (row 1 by convention).
%     P  predecessor table, n x K: P(j,k) is the row of S_j without the k-th
%        symbol of the last state, or -1 when that symbol is not in S_j;
%        where S_j without it is not a row, the empty row, whose weight is 0
%        at every step, so the entry keeps only the steps that draw the
%        symbol again. A last row whose row of P is all -1 only lists the
%        symbols. n rows or a vector. predecessor_table(S) builds it for a
%        0/1 S; check_family(S, P) checks one made elsewhere.
%     steps  optional: step numbers, whole, 1 to T, any shape (read flat), in
%        any order, repeats allowed; [] chooses none (F is n x 0).
%   Result:
%     F  n x 1 weights of step T, or n x numel(steps).
%
%   Example (all subsets of two symbols):
%     S = [0 0; 1 0; 0 1; 1 1];
%     P = [-1 -1; 1 -1; -1 1; 3 2];
%     Zellmor_raw_mex(3, ones(2, 3), S, P)     % returns [0; 1; 1; 6]
%     Zellmor_raw_mex(3, ones(2, 3), S, P, [3 1])  % returns [0 0; 1 1; 1 1; 6 0]
%
%   Example (a chain: {1}, then {1, 2}, then {1, 2, 3}):
%     S = [0 0 0; 1 0 0; 1 1 0; 1 1 1];
%     P = predecessor_table(S);      % [-1 -1 -1; 1 -1 -1; 1 2 -1; 1 1 3]
%     Zellmor_raw_mex(3, ones(3, 3), S, P)     % returns [0; 1; 3; 1]
%     % 111 stays in {1}; 112, 121 and 122 end in {1, 2}; 123 in {1, 2, 3}.
%     % P(3, 1) names the empty row: {2} is not a state, so drawing 1 in
%     % {1, 2} keeps the sequence there and adds none through {2}.
%
%   Errors have identifiers Zellmor_raw_mex:<reason>, for instance
%   Zellmor_raw_mex:badStepCount, Zellmor_raw_mex:badPredecessor or
%   Zellmor_raw_mex:badSteps.
%
%   See also Zellmor_mex, all_subsets, bounded_subsets, downward_closure,
%   predecessor_table, check_family.

%!shared S, P
%! S = [0 0; 1 0; 0 1; 1 1];
%! P = [-1 -1; 1 -1; -1 1; 3 2];
%!assert (Zellmor_raw_mex (3, ones (2, 3), S, P), [0; 1; 1; 6])
%!error id=Zellmor_raw_mex:badPredecessor Zellmor_raw_mex (3, ones (2, 3), S, [P(1:3,:); 3 0])
%!assert (Zellmor_raw_mex (3, ones (3, 3), [0 0 0; 1 0 0; 1 1 0; 1 1 1], [-1 -1 -1; 1 -1 -1; 1 2 -1; 1 1 3]), [0; 1; 3; 1])
