## A fit of the draw-and-report model beside the batch gradient call each of
## its iterations rests on, side by side in this session: membership_train
## on 1,000 sequences of T = 100 reports on bounded_subsets (8, 3), E fixed,
## from uniform p, its standard errors included, against one
## Zellmor_grad_mex call over the same 1,000 sequences with their gradient
## (best of several runs each). The ratio is the fit's time per iteration in
## those calls.
##
##   MEX_MODULE_DIR=build/octave octave-cli --no-history bench/bench_model.m
1;

function gradient_call (T, O, S, P)
  [~, ~] = Zellmor_grad_mex (T, O, S, P);
endfunction

addpath (fileparts (mfilename ("fullpath")));  # best_time
module_dir = getenv ("MEX_MODULE_DIR");
if (isempty (module_dir))
  module_dir = fullfile (fileparts (mfilename ("fullpath")), "..", "build", "octave");
endif
addpath (module_dir);

L = 8;
T = 100;
B = 1000;
[S, P] = bounded_subsets (L, 3);
p = (17:-1:10)' / sum (17:-1:10);
E = 0.05 * ones (L) + 0.6 * eye (L);
rand ("twister", 27);
reports = membership_generate (repmat (T, 1, B), S, P, p, E);
O = cellfun (@(y) p .* E(:, y), reports, "UniformOutput", false);

call = best_time (@() gradient_call (T, O, S, P), 5);
[~, ~, ~, info] = membership_train (reports, S, P, ones (L, 1) / L, E, "FixEmissions", true);
fit = best_time (@() membership_train (reports, S, P, ones (L, 1) / L, E, "FixEmissions", true), 20);
printf ("\nmembership_train, %d sequences of T = %d, L = %d, %d states, E fixed (seconds, best of at least 3)\n", ...
        B, T, L, rows (S));
printf ("  one batch gradient call      %8.4f\n", call);
printf ("  the fit, standard errors in  %8.4f   %d iterations, converged %d\n", fit, info.iterations, info.converged);
printf ("  per iteration                %8.4f   %.2fx the batch call\n", fit / info.iterations, ...
        fit / info.iterations / call);
