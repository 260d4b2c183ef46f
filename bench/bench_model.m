## A fit of the draw-and-report model beside the batch gradient call each of
## its iterations rests on, side by side in this session: membership_train
## on 1,000 sequences of T = 100 reports on bounded_subsets (8, 3), E fixed,
## from uniform p, its standard errors included, against one
## Zellmor_grad_mex call over the same 1,000 sequences with their gradient
## (best of 3 runs each, taken in turn). The ratio is the fit's time per
## iteration in those calls.
##
##   MEX_MODULE_DIR=build/octave octave-cli --no-history bench/bench_model.m
addpath (fileparts (mfilename ("fullpath")));  # add_module_dir
add_module_dir ();

L = 8;
T = 100;
B = 1000;
[S, P] = bounded_subsets (L, 3);
## Close to uniform: at T = 100 on at most 3 of 8 symbols, the sets of the
## likelier symbols soon take every draw, and the others would go unseen.
p = 1 + 0.02 * (L:-1:1)';
p = p / sum (p);
E = 0.05 * ones (L) + 0.6 * eye (L);
rand ("twister", 27);
reports = membership_generate (repmat (T, 1, B), S, P, p, E);
O = cellfun (@(y) p .* E(:, y), reports, "UniformOutput", false);

## The fit, and as many batch calls in a row as it takes iterations, in turn:
## each the best of 3, so that both meet the same load.
fit = @() membership_train (reports, S, P, ones (L, 1) / L, E, "FixEmissions", true);
[~, ~, ~, info] = fit ();
## nthargout (2, ...) asks for dO, which runs the backward sweep.
calls = @() arrayfun (@(k) nthargout (2, @Zellmor_grad_mex, T, O, S, P), 1:info.iterations, "UniformOutput", false);
calls ();
[fit_time, calls_time] = deal (Inf);
for round = 1:3
  tic ();
  fit ();
  fit_time = min (fit_time, toc ());
  tic ();
  calls ();
  calls_time = min (calls_time, toc ());
endfor
printf ("\nmembership_train, %d sequences of T = %d, L = %d, %d states, E fixed (seconds, best of 3)\n", ...
        B, T, L, rows (S));
printf ("  the fit, standard errors in      %8.4f   %d iterations, converged %d\n", fit_time, info.iterations, ...
        info.converged);
printf ("  as many batch gradient calls     %8.4f   %.4f each\n", calls_time, calls_time / info.iterations);
printf ("  the fit per iteration            %.2fx one batch gradient call\n", fit_time / calls_time);
