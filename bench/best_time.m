function t = best_time (f, budget, least)
  ## The fastest of at least `least` runs (3 unless given) after one
  ## warm-up, running on while the runs so far took less than budget seconds.
  if (nargin < 3)
    least = 3;
  endif
  f ();
  t = Inf;
  total = 0;
  runs = 0;
  while (runs < least || (total < budget && runs < 50))
    tic ();
    f ();
    elapsed = toc ();
    t = min (t, elapsed);
    total += elapsed;
    runs += 1;
  endwhile
endfunction
