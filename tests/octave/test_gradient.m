## Zellmor_grad_mex called as a user calls it: central finite differences of
## logL through the module itself, and what the posteriors must satisfy.

%!shared S, P, Sl, Pl
%! [S, P] = all_subsets (4);
%! [Sl, Pl] = deal (S, P);
%! Pl(end, 1) = -1;   # not all subsets: the table is read as lane terms

%!test
%! rand ("seed", 19);
%! T = 6;
%! O = 0.2 + rand (4, T);
%! for c = {{S, P, rand(16, 1)}, {Sl, Pl, []}, {S, P, [zeros(15, 1); 1]}}
%!   [Sc, Pc, w] = c{1}{:};
%!   [logL, dO, gamma] = Zellmor_grad_mex (T, O, Sc, Pc, w);
%!   h = 1e-6;
%!   for e = [1 7 12 24]
%!     Op = O; Op(e) += h; Om = O; Om(e) -= h;
%!     fd = (Zellmor_grad_mex (T, Op, Sc, Pc, w) - Zellmor_grad_mex (T, Om, Sc, Pc, w)) / (2 * h);
%!     assert (dO(e), fd, 1e-7 * max (abs (dO(:))));
%!   endfor
%!   assert (sum (O .* dO), ones (1, T), 1e-13);
%!   assert (sum (gamma), ones (1, T), 1e-13);
%! endfor

%!test
%! O = 0.1 + rand (4, 30);
%! [logL, dO] = Zellmor_grad_mex (30, O, S, P);
%! assert (dO, repmat (1 ./ sum (O), 4, 1), 1e-13);
%! [~, logScale] = Zellmor_mex (30, O, S, P);
%! assert (logL, logScale, 1e-12 * abs (logScale));

%!test
%! O = ones (4, 5); O(:, 3) = 0;
%! [logL, dO, gamma] = Zellmor_grad_mex (5, O, S, P, [], [2 5]);
%! assert (logL, -Inf);
%! assert (all (isnan ([dO(:); gamma(:)])));
%! assert (size (gamma), [16 2]);

%!error id=Zellmor_grad_mex:badFinalWeights Zellmor_grad_mex (3, ones (4, 3), S, P, ones (15, 1))
%!error id=Zellmor_grad_mex:badSteps [a, b, c] = Zellmor_grad_mex (3, ones (4, 3), S, P, [], 4)
%!error id=Zellmor_grad_mex:tooManyOutputs [a, b, c, d] = Zellmor_grad_mex (3, ones (4, 3), S, P)

## A batch: logL side by side, dO a cell array shaped like O, gamma the
## sequences' posteriors side by side, each bit for bit as its single call;
## an impossible sequence spoils nothing else.
%!test
%! T = [5 1 7 3];
%! Os = reshape (arrayfun (@(t) 0.1 + rand (4, t), T, "UniformOutput", false), 2, 2);
%! Os{3}(:, 4) = 0;
%! w = rand (16, 1);
%! [logL, dO, gamma] = Zellmor_grad_mex (T, Os, S, P, w);
%! assert (size (dO), [2 2]);
%! gammas = [];
%! for b = 1:4
%!   [l, d, g] = Zellmor_grad_mex (T(b), Os{b}, S, P, w);
%!   assert (isequaln (logL(b), l) && isequaln (dO{b}, d));
%!   gammas = [gammas g];
%! endfor
%! assert (isequaln (gamma, gammas));
%! assert (logL(3), -Inf);
%! assert (all (isfinite (logL([1 2 4]))));
