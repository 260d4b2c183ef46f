## End-to-end tests of the forward recursion: Zellmor_mex (rescaled every
## step) and Zellmor_raw_mex (unscaled), called as a user calls them.

## The recursion written out loop by loop, in the order the modules add and
## multiply, so that results can be compared bit for bit: the last step, all
## T steps and their log scales. Only whole 0/1 last rows of S are handled:
## K is their number of ones.
%!function [last, F, logScale] = literal_forward (T, O, S, P, rescale)
%!  [n, L] = size (S);
%!  O = reshape (O(1:L*T), L, T);
%!  F = zeros (n, T);
%!  logScale = zeros (1, T);
%!  for i = 1:n
%!    if (fix (sum (S(i,:))) == 1)
%!      F(i,1) = O(find (S(i,:) == 1, 1), 1);
%!    endif
%!  endfor
%!  Q = find (S(end,:) == 1);
%!  K = numel (Q);
%!  for t = 1:T-1
%!    for j = 1:n
%!      acc = 0;
%!      for k = 1:K
%!        p = P(j,k);
%!        if (p != -1)
%!          x = F(p,t);
%!          x = x + F(j,t);
%!          x = x * O(Q(k),t+1);
%!          acc = acc + x;
%!        endif
%!      endfor
%!      F(j,t+1) = acc;
%!    endfor
%!    if (rescale)
%!      total = 0;
%!      for j = 1:n
%!        total = total + F(j,t+1);
%!      endfor
%!      F(:,t+1) = F(:,t+1) / total;
%!      logScale(t+1) = logScale(t) + log (total);
%!    endif
%!  endfor
%!  last = F(:,T);
%!endfunction

%!shared S, P, names
%! S = [0 0; 1 0; 0 1; 1 1];
%! P = [-1 -1; 1 -1; -1 1; 3 2];
%! names = {"Zellmor_mex", "Zellmor_raw_mex"};

## Small cases with known results: {T, O, raw result, rescaled result}.
%!test
%! O = [0.9 0.2 0.5; 0.1 0.8 0.5];
%! cases = {3, ones(2, 3), [0; 1; 1; 6],     [0; 0.125; 0.125; 0.75]
%!          1, ones(2, 3), [0; 1; 1; 0],     [0; 1; 1; 0]
%!          2, ones(2, 3), [0; 1; 1; 2],     [0; 0.25; 0.25; 0.5]
%!          3, O,          [0; 0.09; 0.04; 0.87], [0; 0.09; 0.04; 0.87]
%!          1, O,          [0; 0.9; 0.1; 0], [0; 0.9; 0.1; 0]};
%! for c = 1:rows (cases)
%!   [T, Oc, raw, rescaled] = cases{c,:};
%!   assert (call_keeping_inputs ("Zellmor_raw_mex", T, Oc, S, P), raw, 1e-12);
%!   assert (call_keeping_inputs ("Zellmor_mex", T, Oc, S, P), rescaled, 1e-12);
%! endfor

## The documented examples come out exactly.
%!assert (Zellmor_raw_mex (3, ones (2, 3), S, P), [0; 1; 1; 6])
%!assert (Zellmor_mex (3, ones (2, 3), S, P), [0; 0.125; 0.125; 0.75])

## O is read flat with L rows; extra columns and elements are not read; only
## the first element of T is.
%!test
%! O = [0.9 0.2 0.5; 0.1 0.8 0.5];
%! for name = names
%!   want = feval (name{1}, 3, O, S, P);
%!   assert (feval (name{1}, 3, O(:)', S, P), want);
%!   assert (feval (name{1}, 3, O, S, P(:)'), want);
%!   assert (feval (name{1}, 3, [O, rand(2, 4)], S, P), want);
%!   assert (feval (name{1}, [3 99], O, S, P), want);
%! endfor

## A state without predecessors keeps its step-0 weight for T = 1 only.
%!test
%! Q = P;
%! Q(2,:) = -1;
%! for name = names
%!   assert (feval (name{1}, 1, ones (2, 3), S, Q)(2), 1);
%!   assert (feval (name{1}, 2, ones (2, 3), S, Q)(2), 0);
%!   assert (feval (name{1}, 3, ones (2, 3), S, Q)(2), 0);
%! endfor

## A step whose weights sum to 0 turns every later rescaled step into NaN.
%!test
%! O = ones (2, 4);
%! O(:,2) = 0;
%! for T = 2:4
%!   assert (all (isnan (Zellmor_mex (T, O, S, P))));
%!   assert (Zellmor_raw_mex (T, O, S, P), zeros (4, 1));
%! endfor

## No states: a 0 x 1 result.
%!test
%! for name = names
%!   F = feval (name{1}, 3, ones (2, 3), zeros (0, 2), zeros (0, 2));
%!   assert (size (F), [0 1]);
%! endfor

## A last row summing to 2.5 holds K = 2 symbols, both equal to 1.
%!test
%! S3 = [0 0 0; 1 0 0; 1 1 0.5];
%! P3 = [-1 -1; 1 -1; -1 2];
%! O = [0.3 0.6 0.2; 0.7 0.4 0.8; 0.5 0.5 0.5];
%! for r = 0:1
%!   assert (isequal (feval (names{2-r}, 3, O, S3, P3), literal_forward (3, O, S3, P3, r)));
%! endfor

## Bit for bit against the literal recursion on all subsets of 1 to 6 symbols.
%!test
%! rand ("seed", 20240611);
%! for L = 1:6
%!   [Sa, Pa] = all_subsets (L);
%!   for T = [1 2 3 5 12 20]
%!     O = rand (L, T);
%!     for r = 0:1
%!       got = call_keeping_inputs (names{2-r}, T, O, Sa, Pa);
%!       assert (isequal (got, literal_forward (T, O, Sa, Pa, r)), ...
%!               "%s differs for L = %d, T = %d", names{2-r}, L, T);
%!     endfor
%!   endfor
%! endfor

## One line per reason for rejecting a call.
%!error id=Zellmor_mex:notEnoughInputs Zellmor_mex (3, ones (2, 3), [0 0; 1 0; 0 1; 1 1])
%!error id=Zellmor_raw_mex:notEnoughInputs Zellmor_raw_mex (3, ones (2, 3), [0 0; 1 0; 0 1; 1 1])
%!error id=Zellmor_mex:tooManyOutputs [a, b, c] = Zellmor_mex (3, ones (2, 3), S, P)
%!error id=Zellmor_raw_mex:tooManyOutputs [a, b] = Zellmor_raw_mex (3, ones (2, 3), S, P)
%!error id=Zellmor_mex:notRealDouble Zellmor_mex ({3}, ones (2, 3), S, P)
%!error id=Zellmor_mex:observationsShape Zellmor_mex (3, ones (3, 2), S, P)
%!error id=Zellmor_mex:predecessorsShape Zellmor_mex (3, ones (2, 3), S, P')
%!error id=Zellmor_mex:badStepCount Zellmor_mex (0, ones (2, 3), S, P)
%!error id=Zellmor_mex:observationsTooShort Zellmor_mex (3, ones (2, 2), S, P)
%!error id=Zellmor_mex:predecessorsTooShort Zellmor_mex (3, ones (2, 3), S, P(:,1))
%!error id=Zellmor_mex:badPredecessor Zellmor_mex (3, ones (2, 3), S, [0 -1; 1 -1; -1 1; 3 2])
%!error id=Zellmor_mex:noMemberEntry Zellmor_mex (3, ones (2, 3), [0 0; 0.5 0.7; 0 1; 1 1], P)
%!error id=Zellmor_mex:badLastState Zellmor_mex (3, ones (2, 3), [0 0; 1 0; 0 1; 1 NaN], P)

## A class other than a real, full numeric or logical array, at each input
## position; the message names the position. (A cell array as O is a batch.)
%!test
%! args = {3, ones(2, 3), S, P};
%! convert = {@complex, @sparse, @(x) char (x + 48), @(x) {x}, @(x) struct ("x", x), @(x) complex (single (x)), ...
%!            @(x) sparse (logical (x))};
%! for name = names
%!   for k = 1:4
%!     for f = convert
%!       bad = args;
%!       bad{k} = f{1} (bad{k});
%!       if (k == 2 && iscell (bad{k}))
%!         continue;
%!       endif
%!       try
%!         feval (name{1}, bad{:});
%!         error ("no error for %s of input %d", func2str (f{1}), k);
%!       catch err
%!         assert (err.identifier, [name{1} ":notRealDouble"]);
%!         assert (index (err.message, sprintf ("Input %d ", k)) > 0, "%s", err.message);
%!       end_try_catch
%!     endfor
%!   endfor
%! endfor

## Rejected inputs: {reason, T, O, S, P}.
%!test
%! O = ones (2, 3);
%! with = @(M, r, c, v) subsasgn (M, substruct ("()", {r, c}), v);
%! cases = {};
%! for T = {0, -1, 2.5, NaN, Inf, 2^31, -Inf, []}
%!   cases(end+1,:) = {"badStepCount", T{1}, O, S, P};
%! endfor
%! for Ob = {O', ones(3, 3), ones(4, 6)}
%!   cases(end+1,:) = {"observationsShape", 3, Ob{1}, S, P};
%! endfor
%! for Pb = {P', [P; P], P(1:3,:)}
%!   cases(end+1,:) = {"predecessorsShape", 3, O, S, Pb{1}};
%! endfor
%! cases(end+1,:) = {"observationsTooShort", 3, ones(1, 5), S, P};
%! cases(end+1,:) = {"observationsTooShort", 4, O, S, P};
%! cases(end+1,:) = {"observationsTooShort", 1, 1, S, P};
%! cases(end+1,:) = {"predecessorsTooShort", 3, O, S, P(1:7)};
%! cases(end+1,:) = {"predecessorsTooShort", 3, O, S, zeros(4, 0)};
%! for v = {0, 5, 1.5, NaN, -0.5, -2, Inf}
%!   cases(end+1,:) = {"badPredecessor", 3, O, S, with(P, 4, 2, v{1})};
%!   cases(end+1,:) = {"badPredecessor", 3, O, S, with(P, 1, 1, v{1})};
%! endfor
%! cases(end+1,:) = {"noMemberEntry", 3, O, [0 0; 0.5 0.7; 0 1; 1 1], P};
%! cases(end+1,:) = {"noMemberEntry", 3, O, [0 0; 1.5 -0.25; 0 1; 1 1], P};
%! for last = {[NaN 1], [-1 -1], [Inf 1], [1 -Inf]}
%!   cases(end+1,:) = {"badLastState", 3, O, [S(1:3,:); last{1}], P};
%! endfor
%! cases(end+1,:) = {"badLastState", 3, ones(3, 3), [0 0 0; 1 0 0; 1 1 -0.5], [-1; 1; 2]};
%! for name = names
%!   for c = 1:rows (cases)
%!     want = [name{1} ":" cases{c,1}];
%!     got = error_identifier (name{1}, cases{c,2:end});
%!     assert (strcmp (got, want), "case %d: '%s' instead of %s", c, got, want);
%!   endfor
%! endfor

## all_subsets: the README's example, and each predecessor is the row of the
## state less that symbol.
%!test
%! [Sa, Pa] = all_subsets (2);
%! assert (Sa, [0 0; 1 0; 0 1; 1 1]);
%! assert (Pa, [-1 -1; 1 -1; -1 1; 3 2]);
%! [Sa, Pa] = all_subsets (5);
%! assert (Pa(Sa == 0), -ones (nnz (Sa == 0), 1));
%! [i, c] = find (Sa);
%! less = Sa(i,:);
%! less(sub2ind (size (less), (1:numel (i))', c)) = 0;
%! [~, row] = ismember (less, Sa, "rows");
%! assert (Pa(sub2ind (size (Pa), i, c)), row);

## Chosen steps: every step in a shuffled order with repeats, weights and log
## scales bit for bit against the literal recursion.
%!test
%! rand ("seed", 7);
%! for L = 1:5
%!   [Sa, Pa] = all_subsets (L);
%!   for T = [1 2 5 12]
%!     O = rand (L, T);
%!     steps = [randperm(T), T, 1];
%!     for r = 0:1
%!       [~, F, logScale] = literal_forward (T, O, Sa, Pa, r);
%!       if (r)
%!         [got, gotScale] = Zellmor_mex (T, O, Sa, Pa, steps);
%!         assert (isequal (gotScale, logScale(steps)), "log scales, L = %d, T = %d", L, T);
%!       else
%!         got = Zellmor_raw_mex (T, O, Sa, Pa, steps');
%!       endif
%!       assert (isequal (got, F(:,steps)), "%s, L = %d, T = %d", names{2-r}, L, T);
%!     endfor
%!   endfor
%! endfor

## No step chosen: n x 0 and 1 x 0, with T still checked against O.
%!test
%! [F, logScale] = Zellmor_mex (3, ones (2, 3), S, P, []);
%! assert (size (F), [4 0]);
%! assert (size (logScale), [1 0]);
%! assert (error_identifier ("Zellmor_mex", 4, ones (2, 3), S, P, []), "Zellmor_mex:observationsTooShort");

## Over a long sequence the raw weights underflow to 0; the log scale stays
## finite, and where the raw weights are still representable it is the log of
## their sum.
%!test
%! [Sa, Pa] = all_subsets (4);
%! rand ("seed", 11);
%! O = 0.01 * rand (4, 2000);
%! [~, logScale] = Zellmor_mex (2000, O, Sa, Pa, [100 2000]);
%! assert (all (Zellmor_raw_mex (2000, O, Sa, Pa) == 0));
%! assert (isfinite (logScale(2)) && logScale(2) < logScale(1));
%! assert (logScale(1), log (sum (Zellmor_raw_mex (100, O, Sa, Pa))), 1e-9);

%!test
%! for bad = {0, 4, 2.5, NaN, Inf, -1, [1 2 NaN]}
%!   for name = names
%!     assert (error_identifier (name{1}, 3, ones (2, 3), S, P, bad{1}), [name{1} ":badSteps"]);
%!   endfor
%! endfor

## Batches: a cell array of sequences (any shape, read in linear order) gives
## the single calls side by side, bit for bit, with T one for all or one each.
%!test
%! rand ("seed", 5);
%! [Sa, Pa] = all_subsets (5);
%! T = [4 1 7 3];
%! Os = reshape (arrayfun (@(t) rand (5, t), T, "UniformOutput", false), 2, 2);
%! for chosen = {{}, {[1 1]}}
%!   steps = chosen{1};
%!   [F, logScale] = Zellmor_mex (T, Os, Sa, Pa, steps{:});
%!   raw = Zellmor_raw_mex (T, Os, Sa, Pa, steps{:});
%!   [Fs, logScales, raws] = deal ([]);
%!   for b = 1:4
%!     [f, l] = Zellmor_mex (T(b), Os{b}, Sa, Pa, steps{:});
%!     [Fs, logScales, raws] = deal ([Fs f], [logScales l], [raws Zellmor_raw_mex(T(b), Os{b}, Sa, Pa, steps{:})]);
%!   endfor
%!   assert (isequal (F, Fs) && isequal (logScale, logScales) && isequal (raw, raws));
%! endfor
%! assert (isequal (Zellmor_mex (3, {Os{1}, Os{3}}, Sa, Pa), [Zellmor_mex(3, Os{1}, Sa, Pa), Zellmor_mex(3, Os{3}, Sa, Pa)]));
%! [F, logScale] = Zellmor_mex (3, {}, Sa, Pa);
%! assert (size (F), [32 0]);
%! assert (size (logScale), [1 0]);

## A bad sequence is named by its position in the batch.
%!test
%! cases = {[3 3 3], {ones(2, 3), ones(2, 3)}, [], "badStepCount", "Input 1 (T, the step count) must hold 1 or B = 2 entries, one per sequence; found 3."
%!          3, {ones(2, 3), ones(2, 2)}, [], "observationsTooShort", "Input 2 (O, the observations), sequence 2: must hold at least L x T = 6"
%!          3, {ones(2, 3), {1}}, [], "notRealDouble", "Input 2 (O, the observations), sequence 2: must be a real, full numeric or logical array; found cell."
%!          [3 2 2], {ones(2, 3), ones(2, 2), ones(2, 2)}, 3, "badSteps", "Input 5 (steps, the steps to return), sequence 2: element 1 must be a whole number from 1 to T = 2"
%!          [3 2], {ones(2, 3), ones(2, 2)}, 0.5, "badSteps", "Input 5 (steps, the steps to return), sequence 2: element 1 must be a whole number from 1 to T = 2"};
%! for c = 1:rows (cases)
%!   [T, O, steps, mnemonic, message] = cases{c,:};
%!   for name = names
%!     try
%!       feval (name{1}, T, O, S, P, steps);
%!       error ("%s accepted case %d", name{1}, c);
%!     catch err
%!       assert (err.identifier, [name{1} ":" mnemonic]);
%!       assert (! isempty (strfind (err.message, message)), "%s", err.message);
%!     end_try_catch
%!   endfor
%! endfor
