## The draw-and-report model: membership_decode, membership_viterbi,
## membership_generate and membership_train against every draw sequence of
## small families, written out: each step draws x_t from p, reports y_t with
## probability E(x_t, y_t), and the running set of distinct draws stays a row
## of S; a sequence weighs w(final row) prod_t p(x_t) E(x_t, y_t).

## Every draw sequence of T steps on the family S, P: X (L^T x T) the
## draws, the first step most significant, and at (L^T x T) the row each is
## in after each step, 0 once it has left the family. A last row whose row
## of P is all -1 only lists the symbols: no sequence enters it.
%!function [X, at] = draw_sequences (S, P, T)
%!  L = columns (S);
%!  entered = rows (S) - all (P(end, :) == -1);
%!  at = zeros (L ^ T, T);
%!  for t = 1:T
%!    [~, X, ~, final] = family_sequences (S(1:entered, :), ones (L, t));
%!    at(:, t) = kron (final, ones (L ^ (T - t), 1));
%!  endfor
%!endfunction

## V(i, b): the weight of draw sequence i jointly with the reports Y(b, :);
## Z0: the weight of staying under p alone.
%!function [V, Z0] = joint_weights (X, at, p, E, Y, w)
%!  ends = at(:, end);
%!  prior = zeros (rows (X), 1);
%!  prior(ends > 0) = prod (p(X(ends > 0, :)), 2) .* w(ends(ends > 0));
%!  V = repmat (prior, 1, rows (Y));
%!  for t = 1:columns (X)
%!    V .*= E(X(:, t), Y(:, t));
%!  endfor
%!  Z0 = sum (prior);
%!endfunction

## The total of the conditional log-likelihoods of the sequences ys, plus
## sum (alpha .* log E) over the positive entries of E; draws{T} holds the
## draw sequences of T steps, {X, at}.
%!function f = objective (draws, p, E, ys, w, alpha)
%!  f = sum ((alpha .* ones (size (E)))(E > 0) .* log (E(E > 0)));
%!  lengths = cellfun ("numel", ys);
%!  for T = unique (lengths)
%!    [V, Z0] = joint_weights (draws{T}{:}, p(:), E, vertcat (ys{lengths == T}), w);
%!    f += sum (log (sum (V, 1)) - log (Z0));
%!  endfor
%!endfunction

## p from log ratios to its last entry, then, if x holds more, E from log
## ratios to the last entry of each row; else E as given.
%!function [p, E] = from_ratios (x, L, E)
%!  p = exp ([x(1:L-1); 0]);
%!  p /= sum (p);
%!  if (numel (x) >= L)
%!    E = exp ([reshape(x(L:end), L, []), zeros(L, 1)]);
%!    E ./= sum (E, 2);
%!  endif
%!endfunction

%!function f = negative_objective (x, draws, E, ys, w, alpha)
%!  [p, E] = from_ratios (x, rows (E), E);
%!  f = -objective (draws, p, E, ys, w, alpha);
%!endfunction

%!function near (x, y, tolerance, label)
%!  assert (isequal (size (x), size (y)), "%s: size %s against %s", label, mat2str (size (x)), mat2str (size (y)));
%!  assert (max (abs (x(:) - y(:))) <= tolerance, "%s: %s against %s", label, mat2str (x(:)', 6), mat2str (y(:)', 6));
%!endfunction

## p-value of a chi-square test of counts against expected counts (cells
## expected at 0 must hold nothing).
%!function pvalue = chi_square (counts, expected, label)
%!  assert (all (counts(expected == 0) == 0), "%s: draws in cells of probability 0", label);
%!  kept = expected > 0;
%!  statistic = sum ((counts(kept) - expected(kept)) .^ 2 ./ expected(kept));
%!  pvalue = 1 - gammainc (statistic / 2, (nnz (kept) - 1) / 2);
%!endfunction

## {label, S, P}: a cap, a chain (no sequence may bring in 3 before 2), two
## allowed sets with their subsets, every subset.
%!shared families
%! [S1, P1] = bounded_subsets (3, 2);
%! chain = [0 0 0; 1 0 0; 1 1 0; 1 1 1];
%! [S3, P3] = downward_closure ([1 1 0; 0 1 1]);
%! [S4, P4] = all_subsets (3);
%! families = {"bounded_subsets (3, 2)", S1, P1; "the chain", chain, predecessor_table(chain);
%!             "downward_closure ([1 1 0; 0 1 1])", S3, P3; "all_subsets (3)", S4, P4};

## Posteriors and logL of every length 1..4, one batch call, and of one
## sequence alone, against the draw sequences; random p (one with a 0), E
## and final weights (some 0 in one family).
%!test
%! rand ("seed", 27);
%! for f = 1:rows (families)
%!   [label, S, P] = families{f, :};
%!   [n, L] = size (S);
%!   M = 2 + mod (f, 2);
%!   p = rand (L, 1) + 0.2;
%!   if (f == 2)
%!     p(3) = 0;
%!   endif
%!   p /= sum (p);
%!   E = rand (L, M);
%!   E ./= sum (E, 2);
%!   w = rand (n, 1);
%!   if (f == 3)
%!     w(2:3) = 0;
%!   endif
%!   ys = arrayfun (@(T) randi (M, 1, T), (1:4)', "UniformOutput", false);
%!   [symbolPost, statePost, logL] = membership_decode (ys, S, P, p, E, "finalweights", w);
%!   assert (size (symbolPost), [4 1]);
%!   for T = 1:4
%!     at_T = sprintf ("%s, T = %d", label, T);
%!     [X, at] = draw_sequences (S, P, T);
%!     [v, Z0] = joint_weights (X, at, p, E, ys{T}, w);
%!     Z = sum (v);
%!     for t = 1:T
%!       near (symbolPost{T}(:, t), accumarray (X(:, t), v, [L 1]) / Z, 1e-10, [at_T ", symbol posterior"]);
%!       stays = at(:, t) > 0;
%!       near (statePost{T}(:, t), accumarray (at(stays, t), v(stays), [n 1]) / Z, 1e-10, [at_T ", state posterior"]);
%!     endfor
%!     near (logL(T), log (Z) - log (Z0), 1e-10, [at_T ", logL"]);
%!   endfor
%!   [one, ~, logL_one] = membership_decode (ys{4}', S, P, p', E, "FinalWeights", w);
%!   assert (isequal (one, symbolPost{4}) && logL_one == logL(4), "%s: one sequence alone", label);
%! endfor

## The most likely draws, exactly, and their conditional log-probability;
## reports all distinct within a sequence, so that no two draws tie.
%!test
%! rand ("seed", 28);
%! for f = 1:rows (families)
%!   [label, S, P] = families{f, :};
%!   [n, L] = size (S);
%!   p = rand (L, 1) + 0.2;
%!   p /= sum (p);
%!   E = rand (L, 5) + 0.1;
%!   E ./= sum (E, 2);
%!   w = rand (n, 1);
%!   ys = arrayfun (@(T) randperm (5, T), 1:5, "UniformOutput", false);
%!   [symbols, logp] = membership_viterbi (ys, S, P, p, E, "FinalWeights", w);
%!   for T = 1:5
%!     [X, at] = draw_sequences (S, P, T);
%!     [v, Z0] = joint_weights (X, at, p, E, ys{T}, w);
%!     [best, i] = max (v);
%!     assert (isequal (symbols{T}, X(i, :)), "%s, T = %d: the most likely draws %s, not %s", label, T, mat2str (symbols{T}), mat2str (X(i, :)));
%!     near (logp(T), log (best) - log (Z0), 1e-10, sprintf ("%s, T = %d: logp", label, T));
%!   endfor
%! endfor

## 20,000 generated sequences: the draw sequences, the final sets and the
## reports of each symbol against their probabilities (chi-square), under
## final weights; and sequences of mixed lengths stay in the family.
%!test
%! rand ("seed", 29);
%! for f = 1:2
%!   [label, S, P] = families{f, :};
%!   [n, L] = size (S);
%!   T = 3;
%!   p = [0.5; 0.3; 0.2];
%!   E = [0.7 0.2 0.1; 0.1 0.6 0.3; 0.3 0.3 0.4];
%!   w = (1:n)';
%!   [X, at] = draw_sequences (S, P, T);
%!   v = joint_weights (X, at, p, ones (L, 1), ones (1, T), w);
%!   N = 20000;
%!   [reports, symbols] = membership_generate (repmat (T, 1, N), S, P, p, E, "FinalWeights", w);
%!   drawn = vertcat (symbols{:});
%!   which = (drawn - 1) * L .^ (T-1:-1:0)' + 1;
%!   pvalue = [chi_square(accumarray (which, 1, [L^T 1]), N * v / sum (v), [label ", draws"]);
%!             chi_square(accumarray (at(which, T), 1, [n 1]), N * accumarray (at(v > 0, T), v(v > 0), [n 1]) / sum (v), ...
%!                        [label ", final sets"]);
%!             chi_square(accumarray ([drawn(:), vertcat(reports{:})(:)], 1, [L 3]), sum (drawn(:) == 1:L)' .* E, ...
%!                        [label ", reports"])];
%!   assert (all (pvalue > 1e-4), "%s: chi-square p-values %s", label, mat2str (pvalue', 3));
%!   lengths = randi (4, 1, 200);
%!   [reports, symbols] = membership_generate (lengths, S, P, p, E);
%!   assert (isequal (size (reports), [1 200]) && isequal (cellfun ("numel", symbols), lengths));
%!   for b = 1:200
%!     [X, at] = draw_sequences (S, P, lengths(b));
%!     assert (at((symbols{b} - 1) * L .^ (lengths(b)-1:-1:0)' + 1, end) > 0, "%s: %s leaves", label, ...
%!             mat2str (symbols{b}));
%!   endfor
%! endfor

## membership_train ends with a trace that never falls, at a stationary
## point of its objective (the gradient along each log p and log E,
## renormalised, by central differences of the written-out objective), no
## worse than fminsearch from the same start: E fitted with pseudocounts on
## a cap, p alone on two allowed sets and on the chain, under final weights.
%!test
%! rand ("seed", 30);
%! warning ("off", "membership_train:notIdentified");   # E and p from few reports on the cap
%! E_true = [0.8 0.1 0.1; 0.1 0.8 0.1; 0.1 0.1 0.8];
%! for c = {1, true, 0.5; 3, false, 0; 2, false, 0}'
%!   [f, fit_E, alpha] = c{:};
%!   [label, S, P] = families{f, :};
%!   [n, L] = size (S);
%!   draws = arrayfun (@(T) nthargout (1:2, @draw_sequences, S, P, T), 1:4, "UniformOutput", false);
%!   w = rand (n, 1) + 0.5;
%!   ys = membership_generate (randi (4, 1, 60), S, P, [0.5 0.3 0.2], E_true, "FinalWeights", w);
%!   p0 = ones (L, 1) / L;
%!   E0 = E_true;
%!   if (fit_E)
%!     E0 = [0.6 0.2 0.2; 0.2 0.6 0.2; 0.2 0.2 0.6];
%!   endif
%!   [p, E, logL, info] = membership_train (ys, S, P, p0, E0, "Tolerance", 1e-10, "FixEmissions", ! fit_E, ...
%!                                          "Pseudocounts", alpha, "FinalWeights", w);
%!   assert (info.converged && all (diff (info.logLTrace) >= 0), "%s: converged %d, the trace falls", label, ...
%!           info.converged);
%!   assert (fit_E || isequal (E, E0), "%s: E changed", label);
%!   near ([logL, info.logLTrace(end)], [objective(draws, p, E, ys, w, 0), objective(draws, p, E, ys, w, alpha)], ...
%!         1e-9, [label ": logL and the objective"]);
%!   h = 1e-5;
%!   tilt = @(q, k, e) q .* exp (e * ((1:numel (q)) == k)) / sum (q .* exp (e * ((1:numel (q)) == k)));
%!   gradient = arrayfun (@(s) objective (draws, tilt (p', s, h), E, ys, w, alpha) ...
%!                             - objective (draws, tilt (p', s, -h), E, ys, w, alpha), 1:L) / (2 * h);
%!   for k = find (fit_E * E)'
%!     [s, m] = ind2sub (size (E), k);
%!     [up, down] = deal (E);
%!     up(s, :) = tilt (E(s, :), m, h);
%!     down(s, :) = tilt (E(s, :), m, -h);
%!     gradient(end + 1) = (objective (draws, p, up, ys, w, alpha) - objective (draws, p, down, ys, w, alpha)) / (2 * h);
%!   endfor
%!   assert (max (abs (gradient)) < 1e-5, "%s: gradient %s", label, mat2str (gradient, 3));
%!   start = log (p0(1:L-1) / p0(L));
%!   if (fit_E)
%!     start = [start; log(E0(:, 1:end-1) ./ E0(:, end))(:)];
%!   endif
%!   x = fminsearch (@(x) negative_objective (x, draws, E0, ys, w, alpha), start, ...
%!                   optimset ("TolX", 1e-10, "TolFun", 1e-12, "MaxFunEvals", 1e4, "MaxIter", 1e4));
%!   best = -negative_objective (x, draws, E0, ys, w, alpha);
%!   assert (info.logLTrace(end) >= best - 1e-9, "%s: %.12g, fminsearch %.12g", label, info.logLTrace(end), best);
%! endfor

## With E fixed, p is recovered on a cap within 4 standard errors, which
## match the inverse information by second differences of logL.
%!test
%! rand ("seed", 31);
%! [S, P] = bounded_subsets (5, 2);
%! p = [0.3; 0.25; 0.2; 0.15; 0.1];
%! E = 0.1 * ones (5) + 0.5 * eye (5);
%! reports = membership_generate (randi ([2 12], 1, 400), S, P, p, E);
%! [fitted, ~, ~, info] = membership_train (reports, S, P, ones (5, 1) / 5, E, "FixEmissions", true);
%! assert (info.converged && all (isfinite (info.stderrP)) && all (isnan (info.stderrE(:))));
%! assert (all (abs (fitted - p) <= 4 * info.stderrP), "p %s, fitted %s, standard errors %s", mat2str (p', 3), ...
%!         mat2str (fitted', 3), mat2str (info.stderrP', 3));
%! ## The standard errors from the information in p(1:4), p(5) = 1 - sum,
%! ## by second differences of logL.
%! logL = @(q) sum (nthargout (3, @membership_decode, reports, S, P, [q; 1 - sum(q)], E));
%! h = 1e-4;
%! step = @(i) h * ((1:4)' == i);
%! information = zeros (4);
%! for i = 1:4
%!   for j = 1:4
%!     information(i, j) = -(logL (fitted(1:4) + step (i) + step (j)) - logL (fitted(1:4) + step (i) - step (j)) ...
%!                           - logL (fitted(1:4) - step (i) + step (j)) + logL (fitted(1:4) - step (i) - step (j))) / (4 * h ^ 2);
%!   endfor
%! endfor
%! J = [eye(4); -ones(1, 4)];
%! near (info.stderrP, sqrt (diag (J / information * J')), 1e-3 * max (info.stderrP), "standard errors of p");

## On every subset with E fitted, the reports cannot tell p from E: NaN
## standard errors and a warning.
%!warning id=membership_train:notIdentified
%! [S, P] = all_subsets (2);
%! reports = membership_generate (repmat (5, 1, 50), S, P, [0.6 0.4], [0.9 0.1; 0.2 0.8]);
%! [~, ~, ~, info] = membership_train (reports, S, P, [0.5 0.5], [0.7 0.3; 0.4 0.6]);
%! assert (all (isnan ([info.stderrP(:); info.stderrE(:)])));

## Bad inputs, refused by identifier: {function, arguments, mnemonic}.
%!test
%! [S, P] = bounded_subsets (3, 2);
%! p = [0.5 0.3 0.2];
%! E = [0.9 0.1; 0.5 0.5; 0.2 0.8];
%! y = [1 2 2];
%! bad_P = P;
%! bad_P(4, 1) = -1;
%! calls = {"decode",   {y + 0.5, S, P, p, E},                   "badReports"
%!          "viterbi",  {{y, [0 1]}, S, P, p, E},                "badReports"
%!          "train",    {{y; 3}, S, P, p, E},                    "badReports"
%!          "decode",   {ones(2), S, P, p, E},                     "badReports"
%!          "train",    {{}, S, P, p, E},                        "badReports"
%!          "decode",   {y, S, bad_P, p, E},                     "badFamily"
%!          "generate", {3, S(1:end-1, :), P, p, E},             "badFamily"
%!          "decode",   {y, S, P, [0.5 0.3 0.1], E},             "badProbabilities"
%!          "viterbi",  {y, S, P, [1.2 -0.2 0], E},              "badProbabilities"
%!          "train",    {y, S, P, [0.5 0.5], E},                 "badProbabilities"
%!          "generate", {3, S, P, p, E(1:2, :)},                 "badEmissions"
%!          "train",    {y, S, P, p, [0.9 0.2; 0.5 0.5; 0.2 0.8]}, "badEmissions"
%!          "decode",   {y, S, P, p, {E}},                       "badEmissions"
%!          "generate", {0, S, P, p, E},                         "badLength"
%!          "generate", {[3 1.5], S, P, p, E},                   "badLength"
%!          "decode",   {y, S, P, p, E, "FinalWeights", -ones(8, 1)}, "badFinalWeights"
%!          "viterbi",  {y, S, P, p, E, "FinalWeights", ones(7, 1)},  "badFinalWeights"
%!          "generate", {3, S, P, p, E, "FinalWeight", 1},       "badOption"
%!          "decode",   {y, S, P, p, E, "FinalWeights"},         "badOption"
%!          "train",    {y, S, P, p, E, "Tolerance", 0},         "badOption"
%!          "train",    {y, S, P, p, E, "Pseudocounts", -1},     "badOption"
%!          "train",    {y, S, P, p, E, "MaxIterations", 1.5},   "badOption"
%!          "train",    {y, S, P, [0 0 1], [1 0; 0.5 0.5; 0 1]}, "zeroLikelihood"
%!          "generate", {1, S, P, p, E, "FinalWeights", [0 0 0 1 0 0 0 0]}, "noSequences"};
%! for c = 1:rows (calls)
%!   [name, args, mnemonic] = calls{c, :};
%!   expected = ["membership_" name ":" mnemonic];
%!   try
%!     feval (["membership_" name], args{:});
%!     error ("call %d: membership_%s took it; %s expected", c, name, expected);
%!   catch err
%!     assert (strcmp (err.identifier, expected), "call %d: %s expected; %s", c, expected, err.message);
%!   end_try_catch
%! endfor
