%ZELLMOR_PATH_MEX  The most likely path of the forward recursion: its weight, symbols and states.
%   logp = Zellmor_path_mex(T, O, S, P) returns the log of the largest
%   weight of a path: a sequence of T symbols together with the rows of S it
%   passes through, counted as Zellmor_raw_mex counts them (with a table
%   from predecessor_table and no duplicate rows, one path per symbol
%   sequence that stays in the family), weighing prod_t O(x_t, t). The
%   recursion of Zellmor_raw_mex with max in place of sum.
%
%   [logp, symbols, states] = Zellmor_path_mex(T, O, S, P, w) weighs the
%   paths by w(last row) * prod_t O(x_t, t) and also returns the path:
%   symbols (1 x T) its symbols as column numbers of S, 1-based, and states
%   (1 x T) the rows of S it passes through. Where every path weighs 0, logp
%   is -Inf and symbols and states are zeros. On all subsets of the symbols
%   with w of ones, the path draws the heaviest symbol of each step; on a
%   restricted family it may draw a lighter one now to keep a symbol it will
%   need later.
%
%   [logp, symbols, states] = Zellmor_path_mex(T, {O1, O2, ...}, S, P, w)
%   runs a batch, as Zellmor_mex does (T one step count for all or one per
%   sequence): logp is 1 x B, symbols and states cell arrays shaped like the
%   input, each sequence's bit for bit that of its single call.
%
%   Inputs (real, full arrays; the classes Zellmor_raw_mex takes):
%     T, O, S, P  as Zellmor_raw_mex takes them, with the same checks; the
%        L x T entries of O read must also be weights: at least 0, not NaN
%        (Zellmor_path_mex:negativeWeight) and not Inf
%        (Zellmor_path_mex:infiniteWeight).
%     w  optional: n final-state weights, any shape (read flat), each finite
%        and >= 0; left out or [], all ones.
%   Results:
%     logp     1 x 1 (1 x B for a batch).
%     symbols  1 x T, only computed when asked for.
%     states   1 x T.
%
%   Which path. A path's weight is its product taken step by step in double
%   precision, as Zellmor_raw_mex multiplies. Each step weighs, for every
%   state j, the move from P(j, k) under column k of P and the stay in j
%   under the heaviest of j's symbols at that step (of equal weights, the one
%   of the smallest k). Of paths that weigh the same: the smallest last row;
%   then, going back, at each step the smallest column k of P, and the move
%   from the predecessor before the stay.
%
%   Exact at any T. The weights are rescaled by powers of two, which changes
%   no bit and so no comparison. A state may fall more than the range of a
%   double below the heaviest of its step (at T in the thousands on all
%   subsets, sooner where O spans many orders of magnitude); its weight is
%   then dropped and bounded from above by the heaviest symbol of each later
%   step. Where that bound, times max(w), could reach the best path's weight,
%   the call runs the sequence again with an exponent beside every weight,
%   several times slower. The result is the same bits either way, on every
%   thread count (OMP_NUM_THREADS) and processor. No logarithms are compared:
%   sums of rounded logarithms could order two paths otherwise than their
%   weights.
%
%   Memory: besides the results, one byte per state and step (K <= 127;
%   two up to 32767, four beyond) for the choice each state made, kept for
%   every step where it fits in 64 MB; otherwise the weights of every
%   ceil(sqrt(T))-th step, with room for their exponents, and each segment's
%   choices recomputed while tracing back, which costs one more forward
%   sweep. L = 16, T = 2000 (131 MB of choices) takes about 50 MB.
%
%   Example (all subsets of two symbols, the worked example of Zellmor_mex):
%     [S, P] = all_subsets(2);
%     O = [0.9 0.2 0.5; 0.1 0.8 0.4];
%     [logp, symbols, states] = Zellmor_path_mex(3, O, S, P)
%     % logp = log(0.9 * 0.8 * 0.5); symbols = [1 2 1]; states = [2 4 4]:
%     % the heaviest symbol of each step, {1}, then {1, 2} twice
%     [logp, symbols, states] = Zellmor_path_mex(3, O, S, P, [0 1 1 0])
%     % paths that end in a one-member state: symbols [1 1 1], states
%     % [2 2 2], logp = log(0.9 * 0.2 * 0.5)
%
%   Errors have identifiers Zellmor_path_mex:<reason>, those of
%   Zellmor_raw_mex, Zellmor_path_mex:negativeWeight,
%   Zellmor_path_mex:infiniteWeight and Zellmor_path_mex:badFinalWeights.
%   Ctrl-C stops a long call (see README).
%
%   See also Zellmor_raw_mex, Zellmor_grad_mex, all_subsets, predecessor_table.

%!shared S, P, O
%! S = [0 0; 1 0; 0 1; 1 1];
%! P = [-1 -1; 1 -1; -1 1; 3 2];
%! O = [0.9 0.2 0.5; 0.1 0.8 0.4];
%!test
%! [logp, symbols, states] = Zellmor_path_mex (3, O, S, P);
%! assert (logp, log (0.9 * 0.8 * 0.5), 1e-15);
%! assert (symbols, [1 2 1]);
%! assert (states, [2 4 4]);
%!error id=Zellmor_path_mex:negativeWeight Zellmor_path_mex (3, -O, S, P)
