## Runs the Octave end-to-end tests against a folder of built modules:
##
##   octave-cli --no-history --no-gui -q --no-init-file run_octave_tests.m MODULE_DIR [TEST_DIR [PATTERN]]
##
## or, from a session, set module_dir (and optionally test_dir) and run this
## script. TEST_DIR defaults to the folder of this script. Every file there
## whose name matches PATTERN (default test_*.m) runs in turn; the last line printed is "N passed, M failed". Any failure, or
## no test run at all, exits with status 1 (from a session: raises an error).

from_session = exist ("module_dir", "var") == 1;
if (from_session)
  args = {};
else
  args = argv ();
  if (numel (args) < 1)
    error ("run_octave_tests: give the folder of the built modules");
  endif
  module_dir = args{1};
endif
if (! exist ("test_dir", "var"))
  if (numel (args) >= 2)
    test_dir = args{2};
  else
    test_dir = fileparts (mfilename ("fullpath"));
  endif
endif
if (! isfolder (module_dir))
  error ("run_octave_tests: %s is not a folder", module_dir);
endif
addpath (canonicalize_file_name (module_dir));
addpath (canonicalize_file_name (test_dir));

if (numel (args) >= 3)
  pattern = args{3};
else
  pattern = "test_*.m";
endif
test_files = dir (fullfile (test_dir, pattern));
if (isempty (test_files))
  printf ("no %s files in %s\n", pattern, test_dir);
endif
passed = 0;
failed = 0;
for f = 1:numel (test_files)
  file = fullfile (test_dir, test_files(f).name);
  [ok, total] = test (file, "quiet", stdout);
  printf ("%s: %d of %d passed\n", test_files(f).name, ok, total);
  if (total == 0)
    ## A file with no tests, or one that did not load, counts as a failure.
    total = 1;
  endif
  passed += ok;
  failed += total - ok;
endfor
if (passed + failed == 0)
  failed = 1;
endif

printf ("%d passed, %d failed\n", passed, failed);
if (failed > 0)
  if (from_session)
    error ("run_octave_tests: %d tests failed", failed);
  endif
  exit (1);
endif
