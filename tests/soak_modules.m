## Calls each module many times in one Octave session, cycling through
## accepted and rejected calls, and fails when the session's resident memory
## grows between the first and the last thousand calls or a call's outcome
## ever differs from its first.
##
##   octave-cli --no-history --no-gui -q --no-init-file tests/soak_modules.m MODULE_DIR [CALLS]
##
## CALLS per module defaults to 10000. The last line printed is
## "soak: N passed, M failed"; the exit status is 1 when any module failed.
1;

## Resident memory of this process in kB.
function kb = resident_kb ()
  status = fileread ("/proc/self/status");
  kb = str2double (regexp (status, 'VmRSS:\s*(\d+)', "tokens", "once"){1});
endfunction

## The outcome of one call: its result, or the identifier and message of
## the error it raised.
function out = outcome (name, args)
  try
    out = struct ("result", feval (name, args{:}), "id", "", "message", "");
  catch err
    out = struct ("result", [], "id", err.identifier, "message", err.message);
  end_try_catch
endfunction

## True when both outcomes are the same, results bit for bit.
function same = same_outcome (a, b)
  bits = @(x) typecast (full (x(:)), "uint64");
  same = strcmp (a.id, b.id) && strcmp (a.message, b.message) ...
         && isequal (size (a.result), size (b.result)) && isequal (bits (a.result), bits (b.result));
endfunction

## Calls name `calls` times cycling through cases (a cell of argument
## lists, each with its expected identifier, "" for accepted); prints the
## figures and returns whether memory stayed flat and outcomes the same.
function ok = soak (name, cases, calls, allowed_growth_kb)
  first = cell (1, numel (cases));
  ok = true;
  for i = 1:calls
    k = mod (i - 1, numel (cases)) + 1;
    out = outcome (name, cases{k}{1});
    if (isempty (first{k}))
      first{k} = out;
      if (! strcmp (out.id, cases{k}{2}))
        printf ("%s: case %d gave \"%s\", expected \"%s\"\n", name, k, out.id, cases{k}{2});
        ok = false;
      endif
    elseif (! same_outcome (out, first{k}))
      printf ("%s: call %d (case %d) differs from its first outcome\n", name, i, k);
      ok = false;
    endif
    if (i == 1000)
      after_first = resident_kb ();
    endif
  endfor
  growth = resident_kb () - after_first;
  ok = ok && growth <= allowed_growth_kb;
  printf ("%s: %d calls, resident %d kB after the first 1000, %+d kB after the last: %s\n", ...
          name, calls, after_first, growth, merge (ok, "ok", "FAILED"));
endfunction

args = argv ();
if (numel (args) < 1)
  error ("soak_modules: give the folder of the built modules");
endif
addpath (canonicalize_file_name (args{1}));
calls = 10000;
if (numel (args) >= 2)
  calls = str2double (args{2});
endif
## Octave's own drift stays under 0.5 MB here; 1 kB leaked per accepted
## call adds 2.5 to 5 MB over the last 9000 calls.
allowed_growth_kb = 2048;

[S, P] = all_subsets (2);
[S8, P8] = all_subsets (8);
O8 = reshape (0.5 + mod (1:8*20, 7) / 10, 8, 20);
counts8 = Ortesk_count_mex ([], S8);
codes8 = Ortesk_slots_mex ([], S8, counts8);
codes = [1000001 3000002 3000003 2000002 3000001 3000003];

forward_cases = @(name) {
  {{3, ones(2, 3), S, P}, ""}
  {{20, O8, S8, P8}, ""}
  {{0, ones(2, 3), S, P}, [name ":badStepCount"]}
  {{3, ones(2, 3), S, [P(:, 1) [-1; -1; 1; 0]]}, [name ":badPredecessor"]}
  {{3, ones(2, 2), S, P}, [name ":observationsTooShort"]}
  {{3, ones(2, 3), S, P}, ""}
  {{3, ones(2, 3), logical(S), int8(P)}, ""}
  {{3, ones(2, 3), complex(S), P}, [name ":notRealDouble"]}
  {{3, ones(3, 2), S, P}, [name ":observationsShape"]}
  {{3, ones(2, 3), S}, [name ":notEnoughInputs"]}
};
modules = {
  "Zellmor_mex", forward_cases("Zellmor_mex")
  "Zellmor_raw_mex", forward_cases("Zellmor_raw_mex")
  "Zellmor_grad_mex", [forward_cases("Zellmor_grad_mex")
                       {{{20, O8, S8, P8, -ones(256, 1)}, "Zellmor_grad_mex:badFinalWeights"}}]
  "Zellmor_path_mex", [forward_cases("Zellmor_path_mex")
                       {{{20, O8, S8, P8, rand(256, 1)}, ""}
                        {{20, -O8, S8, P8}, "Zellmor_path_mex:negativeWeight"}}]
  "Ortesk_count_mex", {
    {{[], S}, ""}
    {{[], S8}, ""}
    {{S}, "Ortesk_count_mex:notEnoughInputs"}
    {{[], int32(S)}, ""}
    {{[], {S}}, "Ortesk_count_mex:notRealDouble"}
  }
  "Ortesk_slots_mex", {
    {{[], S, [3; 3]}, ""}
    {{[], S8, counts8}, ""}
    {{[], S, [3; 4]}, "Ortesk_slots_mex:countMismatch"}
    {{[], S, [-1; 3]}, "Ortesk_slots_mex:badCount"}
    {{[], S8, counts8(1:end-1)}, "Ortesk_slots_mex:countsTooShort"}
  }
  "Quivane_mex", {
    {{zeros(1, 3), [0.25 0.75], [1; 2], codes, [3; 6]}, ""}
    {{zeros(1, 255), ones(1, 8) / 8, (1:8)', codes8, cumsum(counts8)}, ""}
    {{zeros(1, 3), [0.25 0.75], 0, codes, [3; 6]}, "Quivane_mex:badSymbol"}
    {{zeros(1, 3), [0.25 0.75], [1; 2], [0 codes(2:end)], [3; 6]}, "Quivane_mex:badCode"}
  }
  "Quivane_states_mex", {
    {{S, [0.25 0.75]}, ""}
    {{S8, ones(1, 8) / 8, 8:-1:1}, ""}
    {{logical(S), single([0.25 0.75]), int8([2; 2; 1])}, ""}
    {{[S; 2 0], [0.25 0.75]}, "Quivane_states_mex:notZeroOne"}
    {{S8, ones(1, 7) / 8}, "Quivane_states_mex:badWeights"}
    {{S, [0.25 0.75], [1 3]}, "Quivane_states_mex:badSymbol"}
  }
};

passed = 0;
failed = 0;
for m = 1:rows (modules)
  if (soak (modules{m, 1}, modules{m, 2}, calls, allowed_growth_kb))
    passed += 1;
  else
    failed += 1;
  endif
endfor
printf ("soak: %d passed, %d failed\n", passed, failed);
if (failed > 0)
  exit (1);
endif
