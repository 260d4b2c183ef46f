%MEMBERSHIP_MEX  Native modules over states that are sets of symbols: what the numbers mean.
%   A state is a set of symbols, written as a row of the 0/1 membership
%   matrix S (n x L: one column per symbol, S(i,c) == 1 when symbol c
%   belongs to state i). The last row of S holds every symbol in play; its K symbols
%   order the columns of the predecessor table P (n x K): P(j,k) is the row
%   of state j without the k-th of those symbols (the empty row where that
%   set is not a row), or -1 when state j lacks it.
%
%   Forward recursion. O (L x T) weighs symbol c at step t with O(c,t); a
%   sequence of T symbols weighs the product of its O(symbol, step).
%     F = Zellmor_raw_mex(T, O, S, P)  F(j) is the total weight of the
%        sequences of T symbols whose running set of distinct symbols is a
%        row of S at every step and ends as state j.
%     [F, logScale] = Zellmor_mex(T, O, S, P)  the same weights, each step
%        after the first rescaled to sum 1, and the log of the scale taken
%        away: F * exp(logScale) are the raw weights, logScale = 0 at T = 1
%        and log(sum(raw weights)), the log-likelihood, from T = 2 on.
%        Step 1 is never rescaled: at T = 1 both return O(c,1) on the state
%        {c} and 0 elsewhere.
%     A fifth input, steps (1:T for the whole trajectory), returns one
%     column per chosen step.
%     [logL, dO, gamma] = Zellmor_grad_mex(T, O, S, P, w, steps)  the
%        log-likelihood log(w' * raw weights) at every T, T = 1 included (sum
%        it, not logScale, over sequences), its derivative with respect to
%        every O(s,t) (O .* dO: the posterior probability of each symbol at
%        each step) and the posterior probability of each state at the steps.
%     [logp, symbols, states] = Zellmor_path_mex(T, O, S, P, w)  the most
%        likely path: the recursion with max in place of sum, the log of the
%        heaviest path's weight w(last row) * prod O(symbol, step), its
%        symbols and the states it passes through.
%     A cell array of observation matrices in place of O runs a batch: the
%     single calls' results side by side, one plan, the threads taking whole
%     sequences.
%
%   Families. The rows of S are the states a sequence may pass through:
%   with P = predecessor_table(S), each step stays within them, and a state
%   without a symbol that is not a row leads through the empty row, whose
%   weight is 0 at every step (S needs the empty set as a row: row 1). A
%   last row whose row of P is all -1 only lists the symbols.
%     [S, P] = all_subsets(L)               every subset of L symbols
%     [S, P] = bounded_subsets(L, m)        every subset of at most m of them
%     [S, P] = downward_closure(M)          every subset of some row of M
%     [ok, problems] = check_family(S, P)   S and P made elsewhere, checked
%
%   The model. Each step draws a symbol s from p (L x 1), reported as m in
%   1..M with probability E(s, m); the running set of distinct draws stays
%   a row of S. The log-likelihood of reports y is conditional on staying:
%   log Z(y) - log Z0, with O(:, t) = p .* E(:, y(t)) for Z(y) and O = p for
%   Z0, both from batched Zellmor_grad_mex calls.
%     [reports, symbols] = membership_generate(T, S, P, p, E)       exact draws
%     [symbolPost, statePost, logL] = membership_decode(reports, S, P, p, E)
%     [symbols, logp] = membership_viterbi(reports, S, P, p, E)     most likely draws
%     [p, E, logL, info] = membership_train(reports, S, P, p0, E0)  maximum likelihood
%   Several sequences go in a cell array; 'FinalWeights', w conditions on
%   where they end.
%
%   Transitions. A pair (to, from) of rows 2..a of S is a transition when
%   the to-state is the from-state with one symbol added, or the same state.
%     counts = Ortesk_count_mex([], S);             % per symbol
%     codes  = Ortesk_slots_mex([], S, counts);     % to*1000000 + from
%     A = Quivane_mex(zeros(1, size(S, 1) - 1), w, list, codes, cumsum(counts))
%   A(r, s) is the weight of moving from row s+1 of S to row r+1. The codes
%   stop at 2148 rows; straight from S, sparse, with the same bits and no
%   such limit (2^20 states take about a second):
%     A = Quivane_states_mex(S, w, list)     % or transition_matrix(S, w, list)
%
%   Conventions that change results without an error:
%     - Row 1 of S takes no part in the transitions: row r of A is row r+1 of S.
%     - The last row's symbols, in column order, give P's columns.
%     - The modules read any P as it stands: check_family(S, P) says where
%       a P made elsewhere does not count the sequences that stay in S.
%     - A row vector of symbols as Quivane_mex's list is read as its first
%       symbol alone: list symbols one per row.
%
%   The two halves meet: on all subsets of the symbols, A with w as symbol
%   weights is the one-step matrix of the forward recursion with O(:, t) = w
%   at every step; A^(t-1) applied to the raw weights of step 1 (rows 2..n)
%   gives those of step t, up to rounding.
%
%   The installed package holds examples/membership_demo.m beside this file, a tour with
%   figures (examples/fit_gradient.m fits parameters with the gradient,
%   examples/coupon_collector.m takes expected times from the sparse matrix,
%   examples/fit_family.m fits the model with membership_train):
%     run(fullfile(fileparts(which('membership_mex')), 'examples', 'membership_demo.m'))
%
%   See also Zellmor_mex, Zellmor_raw_mex, Zellmor_grad_mex, Zellmor_path_mex,
%   Ortesk_count_mex, Ortesk_slots_mex, Quivane_mex, Quivane_states_mex,
%   all_subsets, bounded_subsets, downward_closure, predecessor_table,
%   check_family, transition_matrix, membership_generate, membership_decode,
%   membership_viterbi, membership_train.
