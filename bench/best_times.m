function t = best_times (calls, budget, least)
  ## The fastest run of each call in the cell array `calls`, the calls run in
  ## turn, one run of each per round, so that a machine that drifts faster or
  ## slower meanwhile weighs on every call alike: at least `least` rounds (3
  ## unless given) after one warm-up round, running on while the runs so far
  ## took less than budget seconds a call.
  if (nargin < 3)
    least = 3;
  endif
  count = numel (calls);
  for i = 1:count
    calls{i} ();
  endfor
  t = Inf (1, count);
  total = 0;
  rounds = 0;
  while (rounds < least || (total < budget * count && rounds < 50))
    for i = 1:count
      tic ();
      calls{i} ();
      elapsed = toc ();
      t(i) = min (t(i), elapsed);
      total += elapsed;
    endfor
    rounds += 1;
  endwhile
endfunction
