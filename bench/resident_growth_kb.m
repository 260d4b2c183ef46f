function [kb, seconds] = resident_growth_kb (f)
  ## Runs f once; kb is how far it raised the process's peak resident
  ## memory (VmHWM), seconds how long it took. Meaningful while the process
  ## has held little else: run it first.
  status_kb = @() sscanf (regexp (fileread ("/proc/self/status"), 'VmHWM:\s*(\d+)', "tokens"){1}{1}, "%d");
  before = status_kb ();
  tic;
  f ();
  seconds = toc;
  kb = status_kb () - before;
endfunction
