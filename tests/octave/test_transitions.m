## End-to-end tests of the transition walk: Ortesk_count_mex counts the
## one-step transitions per symbol, Ortesk_slots_mex files them as codes.

## The walk written out: every ordered pair of rows 2..a, to then from
## ascending, entries compared exactly with +1 and -1.
%!function [counts, codes] = literal_walk (S)
%!  [a, L] = size (S);
%!  buckets = repmat ({zeros(1, 0)}, 1, L);
%!  for to = 2:a
%!    for from = 2:a
%!      D = S(from,:) - S(to,:);
%!      plus = sum (D == 1);
%!      minus = sum (D == -1);
%!      events = [];
%!      if (plus == 0 && minus == 1)
%!        events = find (D == -1, 1);
%!      elseif (plus == 0 && minus == 0)
%!        events = find (S(to,:) == 1);
%!      endif
%!      for c = events
%!        buckets{c}(end+1) = (to-1) * 1e6 + (from-1);
%!      endfor
%!    endfor
%!  endfor
%!  counts = zeros (L, 1);
%!  codes = zeros (1, 0);
%!  for c = 1:L
%!    counts(c) = numel (buckets{c});
%!    codes = [codes, buckets{c}];
%!  endfor
%!endfunction

%!function codes = count_then_slots (S)
%!  codes = call_keeping_inputs ("Ortesk_slots_mex", [], S, Ortesk_count_mex ([], S));
%!endfunction

%!shared S, counts, codes
%! S = [0 0; 1 0; 0 1; 1 1];
%! counts = [3; 3];
%! codes = [1000001 3000002 3000003 2000002 3000001 3000003];

%!assert (Ortesk_count_mex ([], S), counts)
%!assert (Ortesk_slots_mex ([], S, counts), codes)
%!assert (Ortesk_slots_mex ([], S, counts'), codes)
%!assert (Ortesk_slots_mex ([], S, [counts; 7; -1]), codes)

## The first input is never read, whatever it is.
%!test
%! for unused = {{}, "text", struct("a", 1), int8(5), zeros(0, 0)}
%!   assert (Ortesk_count_mex (unused{1}, S), counts);
%!   assert (Ortesk_slots_mex (unused{1}, S, counts), codes);
%! endfor

## Small cases with known results: {S, counts, codes}.
%!test
%! cases = {[1 0 1],                       zeros(3, 1), zeros(1, 0)
%!          [0 0 0; 1 1 0; 1 1 0],         [4; 4; 0],   [1000001 1000002 2000001 2000002 1000001 1000002 2000001 2000002]
%!          zeros(3, 0),                   zeros(0, 1), zeros(1, 0)
%!          zeros(0, 2),                   zeros(2, 1), zeros(1, 0)
%!          [0 0; 0 0; 0 0],               [0; 0],      zeros(1, 0)
%!          [1 1; 0 0; 1 0],               [2; 0],      [2000001 2000002]};
%! for c = 1:rows (cases)
%!   [Sc, want_counts, want_codes] = cases{c,:};
%!   got = call_keeping_inputs ("Ortesk_count_mex", [], Sc);
%!   assert (got, want_counts);
%!   assert (size (got), size (want_counts));
%!   got = call_keeping_inputs ("Ortesk_slots_mex", [], Sc, want_counts);
%!   assert (got, want_codes);
%!   assert (size (got), size (want_codes));
%! endfor

## Random 0/1 S with repeated and empty rows: each code in the bucket of
## symbol c joins two rows of S that are equal and hold c, or where the to-row
## is the from-row with c added.
%!test
%! rand ("seed", 5);
%! for trial = 1:20
%!   a = 2 + floor (rand * 25);
%!   L = 1 + floor (rand * 6);
%!   R = double (rand (a, L) < 0.4);
%!   R(end,:) = R(2,:);
%!   R(floor (a / 2) + 1,:) = 0;
%!   k = Ortesk_count_mex ([], R);
%!   e_codes = Ortesk_slots_mex ([], R, k);
%!   assert (numel (e_codes), sum (k));
%!   to = fix (e_codes / 1e6);
%!   from = e_codes - 1e6 * to;
%!   assert (all (to >= 1 & to <= a - 1 & from >= 1 & from <= a - 1));
%!   symbol = repelem (1:L, k);
%!   for e = 1:numel (e_codes)
%!     was = R(from(e)+1,:);
%!     is = R(to(e)+1,:);
%!     added = zeros (1, L);
%!     added(symbol(e)) = 1;
%!     assert ((isequal (is, was) && is(symbol(e)) == 1) || isequal (is, was + added));
%!   endfor
%! endfor

## Bit for bit against the literal walk, with entries other than 0 and 1.
%!test
%! rand ("seed", 17);
%! values = [0 0 0 1 1 1 0.5 -1 NaN -0 2];
%! for trial = 1:60
%!   a = 1 + floor (rand * 40);
%!   L = floor (rand * 9);
%!   R = values(1 + floor (rand (a, L) * numel (values)));
%!   if (trial <= 20)
%!     R = double (R == 1);
%!   endif
%!   [want_counts, want_codes] = literal_walk (R);
%!   k = call_keeping_inputs ("Ortesk_count_mex", [], R);
%!   assert (isequal (k, want_counts), "counts differ in trial %d", trial);
%!   e_codes = call_keeping_inputs ("Ortesk_slots_mex", [], R, k);
%!   assert (isequal (e_codes, want_codes), "codes differ in trial %d", trial);
%! endfor

## The largest state space whose codes fit 32 bits, and one row more.
%!test
%! R = [zeros(2147, 1); 1];
%! assert (Ortesk_count_mex ([], R), 2147);
%! e_codes = Ortesk_slots_mex ([], R, 2147);
%! assert (e_codes([1 end]), [2147000001 2147002147]);
%!error id=Ortesk_slots_mex:tooManyStates Ortesk_slots_mex ([], zeros (2149, 1), 0)

%!error id=Ortesk_count_mex:notEnoughInputs Ortesk_count_mex (S)
%!error id=Ortesk_slots_mex:notEnoughInputs Ortesk_slots_mex ([], S)
%!error id=Ortesk_count_mex:tooManyOutputs [a, b] = Ortesk_count_mex ([], S)
%!error id=Ortesk_slots_mex:tooManyOutputs [a, b] = Ortesk_slots_mex ([], S, counts)
%!error id=Ortesk_slots_mex:countsTooShort Ortesk_slots_mex ([], S, 3)
%!error id=Ortesk_slots_mex:badCount Ortesk_slots_mex ([], S, [-1; 3])
%!error id=Ortesk_slots_mex:countTotalTooLarge Ortesk_slots_mex ([], S, [2^31-1; 1])

## Rejected inputs: {module, reason, arguments}.
%!test
%! cases = {};
%! for f = {@sparse, @complex, @(x) {x}, @(x) complex (single (x)), @(x) sparse (logical (x))}
%!   cases(end+1,:) = {"Ortesk_count_mex", "notRealDouble", {[], f{1}(S)}};
%!   cases(end+1,:) = {"Ortesk_slots_mex", "notRealDouble", {[], f{1}(S), counts}};
%! endfor
%! cases(end+1,:) = {"Ortesk_slots_mex", "notRealDouble", {[], S, struct("counts", counts)}};
%! cases(end+1,:) = {"Ortesk_slots_mex", "countsTooShort", {[], S, zeros(0, 1)}};
%! for v = {-1, 1.5, NaN, 2^31, Inf}
%!   cases(end+1,:) = {"Ortesk_slots_mex", "badCount", {[], S, [3; v{1}]}};
%! endfor
%! cases(end+1,:) = {"Ortesk_slots_mex", "countTotalTooLarge", {[], S, [2^30; 2^30]}};
%! cases(end+1,:) = {"Ortesk_slots_mex", "tooManyStates", {[], zeros(2149, 1), []}};
%! for c = 1:rows (cases)
%!   [name, reason, args] = cases{c,:};
%!   got = error_identifier (name, args{:});
%!   assert (strcmp (got, [name ":" reason]), "case %d: '%s'", c, got);
%! endfor

## Counts that do not match S: the message names the first symbol whose
## bucket size is wrong.
%!test
%! R = all_subsets (4);
%! right = Ortesk_count_mex ([], R);
%! for s = 1:4
%!   for delta = [-1 1]
%!     wrong = right;
%!     wrong(s) += delta;
%!     try
%!       Ortesk_slots_mex ([], R, wrong);
%!       error ("no error for symbol %d off by %d", s, delta);
%!     catch err
%!       assert (err.identifier, "Ortesk_slots_mex:countMismatch");
%!       assert (index (err.message, sprintf ("symbol %d ", s)) > 0, "%s", err.message);
%!     end_try_catch
%!   endfor
%! endfor
%! wrong = right + [1; -1; 0; 0];
%! assert (error_identifier ("Ortesk_slots_mex", [], R, wrong), "Ortesk_slots_mex:countMismatch");
