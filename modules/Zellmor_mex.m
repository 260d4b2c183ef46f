%ZELLMOR_MEX  Last-step state weights of the forward recursion, rescaled every step.
%   F = Zellmor_mex(T, O, S, P) propagates a weight for every state (row of
%   the membership matrix S) through T steps and returns the weights of the
%   last step, each step after the first rescaled to sum 1.
%
%   Inputs (real, full double arrays):
%     T  step count: the first element is read; a whole number, 1 <= T < 2^31.
%     O  observation weights, L x T (symbols x steps), read flat with L rows.
%     S  membership matrix, n x L: S(i,c) == 1 when symbol c belongs to state i.
%        The last row is the full state; its K symbols order the columns of P.
%     P  predecessor table, n x K: P(j,k) is the row of S_j without the k-th
%        symbol of the last state, or -1 when that symbol is not in S_j.
%   Result:
%     F  n x 1 weights of step T. Step 1 gives a weight O(c,1) to each state
%        with the single member c; it is never rescaled, so T = 1 returns it as is.
%        A step whose weights sum to 0 becomes NaN, and NaN carries forward.
%
%   Example (all subsets of two symbols):
%     S = [0 0; 1 0; 0 1; 1 1];
%     P = [-1 -1; 1 -1; -1 1; 3 2];
%     Zellmor_mex(3, ones(2, 3), S, P)     % returns [0; 0.125; 0.125; 0.75]
%
%   Errors have identifiers Zellmor_mex:<reason>, for instance
%   Zellmor_mex:badStepCount or Zellmor_mex:badPredecessor.
%
%   See also Zellmor_raw_mex, Ortesk_count_mex.

%!shared S, P
%! S = [0 0; 1 0; 0 1; 1 1];
%! P = [-1 -1; 1 -1; -1 1; 3 2];
%!assert (Zellmor_mex (3, ones (2, 3), S, P), [0; 0.125; 0.125; 0.75])
%!error id=Zellmor_mex:badStepCount Zellmor_mex (0, ones (2, 3), S, P)
