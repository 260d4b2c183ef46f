%ZELLMOR_GRAD_MEX  Log-likelihood of the forward recursion, its gradient in O, and state posteriors.
%   logL = Zellmor_grad_mex(T, O, S, P) returns log(Z), Z = sum(R), R being
%   the raw weights Zellmor_raw_mex(T, O, S, P) returns: the log-likelihood
%   of the observations under the sequences that stay in the family S
%   lists (with P = predecessor_table(S), or any P check_family passes),
%   at every T. Computed rescaled as Zellmor_mex rescales, so it stays
%   finite where R underflows. For T >= 2 it equals Zellmor_mex's logScale
%   up to rounding; at T = 1 logScale is 0 and logL is log(Z): add logL,
%   not logScale, over sequences.
%
%   [logL, dO] = Zellmor_grad_mex(T, O, S, P, w) weighs the final states:
%   Z = sum(w(:) .* R). dO (L x T) holds the derivative of logL with respect
%   to every O(s, t); columns of O beyond T do not enter. O(s, t) * dO(s, t)
%   is the posterior probability that step t drew symbol s, given the
%   observations and w: every column of O(:, 1:T) .* dO sums to 1.
%
%   [logL, dO, gamma] = Zellmor_grad_mex(T, O, S, P, w, steps) also returns
%   gamma (n x numel(steps), or n x T when steps is left out): gamma(j, i) is
%   the posterior probability of state j at step steps(i), given the
%   observations and w; every column sums to 1. gamma is computed only when
%   asked for.
%
%   [logL, dO, gamma] = Zellmor_grad_mex(T, {O1, O2, ...}, S, P, w, steps)
%   runs a batch, as Zellmor_mex does (T one step count for all or one per
%   sequence, steps holding for the shortest): logL is 1 x B, dO a cell array
%   shaped like the input with dO{b} the L x T(b) gradient of sequence b, and
%   gamma the sequences' posteriors side by side, each bit for bit that of
%   the single call. A zero-likelihood sequence gives its own -Inf and NaN
%   and spoils nothing else.
%
%   Inputs (real, full double arrays):
%     T, O, S, P  as Zellmor_mex takes them, with the same checks; S lists
%        the family, with the empty set as a row, and P = predecessor_table(S).
%     w  optional: n final-state weights, any shape (read flat), each finite
%        and >= 0; left out or [], all ones (Z is the total weight of the
%        observation sequences). The indicator of a state makes Z the weight
%        of the sequences that end exactly in that state.
%     steps  optional: step numbers, whole, 1 to T, any shape, any order,
%        repeats allowed; [] chooses none; left out, every step 1:T.
%   Results:
%     logL   1 x 1. -Inf where Z = 0 (a column of O leaves no path, or w is 0
%            wherever the weights live); then every entry of dO and gamma is
%            NaN. NaN in O gives NaN.
%     dO     L x T.
%     gamma  n x numel(steps).
%
%   Notes: the results are the same bit for bit on every run, thread count
%   (OMP_NUM_THREADS) and processor. Every sum runs in a fixed order: the
%   log-likelihood adds log(c_t) over the steps ascending, then the log of
%   sum(w .* A_T) over the rows ascending; each state's adjoint adds its
%   successors' terms in ascending column of P (then row); each dO entry adds
%   the states of each block of 2048 places (the order the recursion keeps
%   them in) in eight interleaved sums (place modulo 8, each ascending, added
%   in lane order) for all subsets, or in ascending place for other tables,
%   then the blocks in ascending order; dO(:, 1) adds the one-member rows in
%   ascending row order. Memory: besides the results, the forward weights of
%   every step where T columns of n doubles fit in max(64 MB, (2 ceil(sqrt(T))
%   + 8) columns); otherwise those of every ceil(sqrt(T))-th step, the steps
%   between recomputed (the same bits) during the backward sweep, which then
%   costs one more forward sweep.
%
%   Example (all subsets of two symbols):
%     [S, P] = all_subsets(2);
%     [logL, dO] = Zellmor_grad_mex(3, ones(2, 3), S, P)
%     % logL = log(8); dO = 0.5 * ones(2, 3): on all subsets with w of all
%     % ones, Z = prod(sum(O)), so dO(s, t) = 1 / sum(O(:, t))
%     [logL, dO, gamma] = Zellmor_grad_mex(3, ones(2, 3), S, P, [0 0 0 1], 3)
%     % the sequences that end with both symbols seen: logL = log(6), gamma = [0; 0; 0; 1]
%
%   Errors have identifiers Zellmor_grad_mex:<reason>, those of Zellmor_mex
%   and Zellmor_grad_mex:badFinalWeights. Ctrl-C stops a long call (see README).
%
%   See also Zellmor_mex, Zellmor_raw_mex, all_subsets, predecessor_table,
%   check_family.

%!shared S, P
%! S = [0 0; 1 0; 0 1; 1 1];
%! P = [-1 -1; 1 -1; -1 1; 3 2];
%!test
%! [logL, dO] = Zellmor_grad_mex (3, ones (2, 3), S, P);
%! assert (logL, log (8), 1e-15);
%! assert (dO, 0.5 * ones (2, 3), 1e-15);
%!error id=Zellmor_grad_mex:badFinalWeights Zellmor_grad_mex (3, ones (2, 3), S, P, [1 1 -1 1])
