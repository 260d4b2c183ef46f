## The family tools on large families, each beside the step it builds on,
## run side by side in this session (best of several runs): check_family on
## all subsets of 20 symbols (2^20 rows) against predecessor_table on the
## same S, the table it checks P against; and bounded_subsets (20, 10)
## (616,667 rows) against predecessor_table on its S, which it calls.
##
##   MEX_MODULE_DIR=build/octave octave-cli --no-history bench/bench_families.m
1;
addpath (fileparts (mfilename ("fullpath")));  # best_time, add_module_dir
add_module_dir ();

[S, P] = all_subsets (20);
check = best_time (@() check_family (S, P), 10);
check_S = best_time (@() check_family (S), 5);
table = best_time (@() predecessor_table (S), 10);
printf ("\nAll subsets of 20 symbols, %d rows (seconds, best of at least 3)\n", rows (S));
printf ("  check_family (S, P)     %6.2f   %.2fx predecessor_table (S), %.2f s\n", check, check / table, table);
printf ("  check_family (S)        %6.2f\n", check_S);
clear S P;

[S, P] = bounded_subsets (20, 10);
bounded = best_time (@() bounded_subsets (20, 10), 10);
table = best_time (@() predecessor_table (S), 10);
check = best_time (@() check_family (S, P), 10);
printf ("\nbounded_subsets (20, 10), %d rows\n", rows (S));
printf ("  bounded_subsets (20, 10) %5.2f   %.2fx predecessor_table (S), %.2f s\n", bounded, bounded / table, table);
printf ("  check_family (S, P)     %6.2f\n", check);
