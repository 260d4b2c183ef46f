%ZELLMOR_MEX  Last-step state weights of the forward recursion, rescaled every step.
%   F = Zellmor_mex(T, O, S, P) propagates a weight for every state (row of
%   the membership matrix S) through T steps and returns the weights of the
%   last step, each step after the first rescaled to sum 1. Rescaled, they
%   are the weights of the symbol sequences that stay in the family S lists
%   (Zellmor_raw_mex says which) and end in each state.
%
%   [F, logScale] = Zellmor_mex(T, O, S, P) also returns the log of the
%   scale the rescaling took away: the sum of log(c) over the divisors c of
%   steps 2 .. T. F * exp(logScale) are the raw weights of Zellmor_raw_mex,
%   and logScale is log(sum(raw weights)), the log-likelihood of the
%   observations, finite long after the raw weights underflow to 0. At
%   T = 1 it is 0, as step 1 is never rescaled: to add log-likelihoods over
%   sequences, T = 1 among them, use Zellmor_grad_mex's logL.
%
%   [F, logScale] = Zellmor_mex(T, O, S, P, steps) returns the weights of
%   the chosen steps instead: column i of F and entry i of logScale are those
%   of step steps(i), exactly as Zellmor_mex(steps(i), O, S, P) gives them.
%   Steps after max(steps) are not computed; steps = 1:T gives every step.
%
%   [F, logScale] = Zellmor_mex(T, {O1, O2, ...}, S, P, ...) runs a batch:
%   a cell array of observation matrices (any shape, read in linear order),
%   T one step count for all or one per sequence. F and logScale are the
%   single calls' results side by side, bit for bit: F is n x B, or
%   n x (numel(steps) * B) with steps, so reshape(F, n, [], B) holds one page
%   per sequence. steps must hold for the shortest sequence. S and P are
%   checked once, and the module's threads take whole sequences.
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
%   Results:
%     F  n x 1 weights of step T, or n x numel(steps). Step 1 gives a weight
%        O(c,1) to each state with the single member c; it is never rescaled,
%        so T = 1 returns it as is. A step whose weights sum to 0 becomes NaN,
%        and NaN carries forward.
%     logScale  1 x 1, or 1 x numel(steps): 0 for step 1; -Inf once a step
%        sums to 0, then NaN.
%
%   Example (all subsets of two symbols):
%     [S, P] = all_subsets(2);     % [0 0; 1 0; 0 1; 1 1], [-1 -1; 1 -1; -1 1; 3 2]
%     Zellmor_mex(3, ones(2, 3), S, P)     % returns [0; 0.125; 0.125; 0.75]
%     [F, logScale] = Zellmor_mex(3, ones(2, 3), S, P, 1:3)
%     % F = [0 0 0; 1 0.25 0.125; 1 0.25 0.125; 0 0.5 0.75]
%     % logScale = [0 log(4) log(8)]: the raw weights of steps 2 and 3 sum to 4 and 8
%     [F, logScale] = Zellmor_mex([3 2], {ones(2, 3), ones(2, 2)}, S, P)
%     % F = [0 0; 0.125 0.25; 0.125 0.25; 0.75 0.5], logScale = [log(8) log(4)]
%
%   Errors have identifiers Zellmor_mex:<reason>, for instance
%   Zellmor_mex:badStepCount, Zellmor_mex:observationsShape (O transposed),
%   Zellmor_mex:badPredecessor or Zellmor_mex:badSteps.
%   Ctrl-C stops a long call (see README).
%
%   See also Zellmor_raw_mex, Zellmor_grad_mex, all_subsets, predecessor_table,
%   check_family, Ortesk_count_mex.

%!shared S, P
%! S = [0 0; 1 0; 0 1; 1 1];
%! P = [-1 -1; 1 -1; -1 1; 3 2];
%!assert (Zellmor_mex (3, ones (2, 3), S, P), [0; 0.125; 0.125; 0.75])
%!error id=Zellmor_mex:badStepCount Zellmor_mex (0, ones (2, 3), S, P)
%!test
%! [F, logScale] = Zellmor_mex (3, ones (2, 3), S, P, 1:3);
%! assert (F, [0 0 0; 1 0.25 0.125; 1 0.25 0.125; 0 0.5 0.75]);
%! assert (logScale, [0 log(4) log(4)+log(2)]);
%!test
%! [F, logScale] = Zellmor_mex ([3 2], {ones(2, 3), ones(2, 2)}, S, P);
%! assert (F, [0 0; 0.125 0.25; 0.125 0.25; 0.75 0.5]);
%! assert (logScale, [log(4)+log(2) log(4)]);
