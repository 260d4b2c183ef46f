function t = best_time (f, budget, least)
  ## The fastest of at least `least` runs (3 unless given) after one
  ## warm-up, running on while the runs so far took less than budget seconds.
  if (nargin < 3)
    least = 3;
  endif
  t = best_times ({f}, budget, least);
endfunction
