## The modules keep no state between calls, so a batch of independent forward
## recursions gives the same results whichever process runs each call and in
## whatever order: the batch reversed, and the batch spread over worker
## processes with the parallel package (skipped when it is not installed),
## both bit for bit against the batch run in order here.

%!function yes = have_parallel_package ()
%!  yes = ! isempty (pkg ("list", "parallel"));
%!  if (! yes)
%!    printf ("test_parallel: the parallel package is not installed; the worker test is skipped\n");
%!  endif
%!endfunction

%!shared S, P, T, tasks, in_order
%! [S, P] = all_subsets (8);
%! T = 30;
%! rand ("seed", 41);
%! tasks = arrayfun (@(k) rand (8, T), 1:12, "UniformOutput", false);
%! in_order = cellfun (@(O) Zellmor_mex (T, O, S, P), tasks, "UniformOutput", false);

%!test
%! reversed = cellfun (@(O) Zellmor_mex (T, O, S, P), fliplr (tasks), "UniformOutput", false);
%! assert (isequal (fliplr (reversed), in_order));
%! assert (all (cellfun (@(F) abs (sum (F) - 1) < 1e-12, in_order)));

%!testif ; have_parallel_package ()
%! pkg load parallel
%! in_workers = parcellfun (max (2, nproc ()), @(O) Zellmor_mex (T, O, S, P), tasks,
%!                          "UniformOutput", false, "VerboseLevel", 0);
%! assert (isequal (in_workers, in_order));
