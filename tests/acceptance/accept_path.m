## Zellmor_path_mex against brute force over every symbol sequence: on small
## families, closed under removing a symbol and restricted (where a row less
## a symbol is not a row, P names the empty row, so that only the stay
## remains), with and without w, its path is the heaviest sequence that
## stays in the family, of equal ones the first by the documented rule.

## The family's S and P: the rows given (0/1, the empty set and the full
## set among them), P(j, k) the row of S_j less symbol k, the empty row
## where that set is missing, -1 where S_j lacks k. A listed last row (never
## entered) has P all -1.
%!function [S, P] = family (sets, L, listed)
%!  S = double (dec2bin (sets, L)(:, end:-1:1) == "1");
%!  n = rows (S);
%!  codes = S * pow2 (0:L-1)';
%!  empty = find (codes == 0, 1);
%!  P = -ones (n, L);
%!  for j = 1:n - listed
%!    for k = find (S(j, :))
%!      at = find (codes == codes(j) - pow2 (k - 1), 1);
%!      if (isempty (at))
%!        at = empty;
%!      endif
%!      P(j, k) = at;
%!    endfor
%!  endfor
%!endfunction

## The heaviest path by brute force: every sequence that stays in the family
## (the listed last row left out), weighing w(last row) times its product;
## of equal weights the smallest last row, then going back each step's
## 2 k + (1 for a stay), the least.
%!function [logp, symbols, states] = brute_path (S, O, w, listed)
%!  [n, L] = size (S);
%!  T = columns (O);
%!  [~, X, weight, final] = family_sequences (S(1:n - listed, :), O);
%!  codes = S(1:n - listed, :) * pow2 (0:L-1)';
%!  running = zeros (rows (X), 1);
%!  passed = zeros (size (X));
%!  for t = 1:T
%!    running = bitor (running, pow2 (X(:, t) - 1));
%!    [~, passed(:, t)] = ismember (running, codes);
%!  endfor
%!  stays = final > 0;
%!  total = zeros (size (weight));
%!  total(stays) = w(final(stays)) .* weight(stays);
%!  best = max (total);
%!  logp = log (best);
%!  symbols = states = zeros (1, T);
%!  if (best == 0)
%!    return;
%!  endif
%!  heaviest = find (total == best);
%!  keys = final(heaviest);
%!  for t = T:-1:2
%!    keys(:, end + 1) = 2 * X(heaviest, t) + (passed(heaviest, t - 1) == passed(heaviest, t));
%!  endfor
%!  [~, order] = sortrows (keys);
%!  symbols = X(heaviest(order(1)), :);
%!  states = passed(heaviest(order(1)), :);
%!endfunction

%!function check_against_brute_force (S, P, O, w, listed, label)
%!  [logp, symbols, states] = Zellmor_path_mex (columns (O), O, S, P, w);
%!  [want_logp, want_symbols, want_states] = brute_path (S, O, w, listed);
%!  close = logp == want_logp || abs (logp - want_logp) <= 1e-12 * abs (want_logp) + 1e-15;
%!  assert (close, "%s: logp %.17g, by brute force %.17g", label, logp, want_logp);
%!  assert (isequal ([symbols; states], [want_symbols; want_states]), "%s: the path %s, by brute force %s", label,
%!          mat2str ([symbols; states]), mat2str ([want_symbols; want_states]));
%!endfunction

## Closed families (every subset of a row is a row), restricted ones with
## the empty row standing in, and the bounded family whose last row only
## lists the symbols; each with w of ones, random w, and w that is 0 on
## half the rows; O random, and O of small whole numbers, whose products
## are exact, so that equal weights abound.
%!test
%! rand ("seed", 24);
%! families = {
%!   "all subsets of 3",        0:7,                       3, false
%!   "all subsets of 2",        0:3,                       2, false
%!   "at most 2 of 4, listed",  [0 1 2 3 4 5 6 8 9 10 12 15], 4, true
%!   "a chain",                 [0 1 3 7],                 3, false
%!   "odd sizes and the full set", [0 1 2 4 7 8 11 13 14 15], 4, false
%!   "the empty set, pairs and the full set", [0 3 5 6 7], 3, false
%! };
%! for f = 1:rows (families)
%!   [name, sets, L, listed] = families{f, :};
%!   [S, P] = family (sets, L, listed);
%!   n = rows (S);
%!   T = 5 - (L == 4);
%!   for o = {rand(L, T), floor(3 * rand(L, T))}
%!     for v = {ones(n, 1), rand(n, 1), (rand(n, 1) > 0.5) .* rand(n, 1)}
%!       check_against_brute_force (S, P, o{1}, v{1}, listed, name);
%!     endfor
%!   endfor
%! endfor

## The same on random families with the empty and the full set, and T = 1.
%!test
%! rand ("seed", 26);
%! for trial = 1:8
%!   L = 3 + mod (trial, 2);
%!   sets = unique ([0, randperm(pow2 (L) - 2, 5), pow2(L) - 1]);
%!   [S, P] = family (sets, L, false);
%!   for T = [1 4]
%!     check_against_brute_force (S, P, rand (L, T), rand (rows (S), 1), false, sprintf ("family %d", trial));
%!   endfor
%! endfor

## On all subsets every path may draw any symbol at any step: the heaviest
## path draws the heaviest symbol of each step.
%!test
%! [S, P] = all_subsets (6);
%! O = rand (6, 300);
%! [logp, symbols, states] = Zellmor_path_mex (300, O, S, P);
%! [heaviest, best] = max (O);
%! assert (symbols, best);
%! assert (logp, sum (log (heaviest)), 1e-12 * abs (logp));
%! running = 0;
%! for t = 1:300
%!   running = bitor (running, pow2 (best(t) - 1));
%!   assert (states(t), running + 1);
%! endfor

## A batch gives each sequence's single call, bit for bit; T one per
## sequence, the cell array's shape kept.
%!test
%! [S, P] = family ([0 1 3 7], 3, false);
%! T = [4 1 6 3];
%! Os = reshape (arrayfun (@(t) rand (3, t), T, "UniformOutput", false), 2, 2);
%! w = rand (4, 1);
%! [logp, symbols, states] = Zellmor_path_mex (T, Os, S, P, w);
%! assert (size (symbols), [2 2]);
%! for b = 1:4
%!   [l, s, q] = Zellmor_path_mex (T(b), Os{b}, S, P, w);
%!   assert (isequal (logp(b), l) && isequal (symbols{b}, s) && isequal (states{b}, q));
%! endfor

## 65,536 states: split between two threads by default, one under
## OMP_NUM_THREADS=1; the same bits either way.
%!test
%! [S, P] = all_subsets (16);
%! O = rand (16, 40);
%! w = rand (rows (S), 1);
%! [logp, symbols, states] = Zellmor_path_mex (40, O, S, P, w);
%! saved = getenv ("OMP_NUM_THREADS");
%! setenv ("OMP_NUM_THREADS", "1");
%! unwind_protect
%!   [logp1, symbols1, states1] = Zellmor_path_mex (40, O, S, P, w);
%! unwind_protect_cleanup
%!   setenv ("OMP_NUM_THREADS", saved);
%! end_unwind_protect
%! assert (isequal (logp, logp1) && isequal (symbols, symbols1) && isequal (states, states1));

## Bad inputs, refused by identifier.
%!shared S, P, O
%! [S, P] = all_subsets (2);
%! O = rand (2, 3);
%!error id=Zellmor_path_mex:negativeWeight Zellmor_path_mex (3, -O, S, P)
%!error id=Zellmor_path_mex:negativeWeight Zellmor_path_mex (3, [O(:, 1:2), [NaN; 1]], S, P)
%!error id=Zellmor_path_mex:negativeWeight Zellmor_path_mex ([3 3], {O, -O}, S, P)
%!error id=Zellmor_path_mex:infiniteWeight Zellmor_path_mex (3, [O(:, 1:2), [Inf; 1]], S, P)
%!error id=Zellmor_path_mex:badFinalWeights Zellmor_path_mex (3, O, S, P, [1 1 1])
%!error id=Zellmor_path_mex:badFinalWeights Zellmor_path_mex (3, O, S, P, [1 1 -1 1])
%!error id=Zellmor_path_mex:badStepCount Zellmor_path_mex (0, O, S, P)
%!error id=Zellmor_path_mex:observationsShape Zellmor_path_mex (3, O', S, P)
%!error id=Zellmor_path_mex:badPredecessor Zellmor_path_mex (3, O, S, [P(1:3, :); 3 0])
%!error id=Zellmor_path_mex:tooManyOutputs [a, b, c, d] = Zellmor_path_mex (3, O, S, P)
