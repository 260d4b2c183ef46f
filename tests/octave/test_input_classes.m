## Every input a module reads as numbers, in every integer class, single and
## logical, against the same call with double(x): the same result bit for
## bit, or the same error. Values an integer class cannot hold (the -1 of P in
## an unsigned class) change in x itself, and so in double(x) too.

%!function [out, id, msg] = outcome (name, args)
%!  out = [];
%!  id = "";
%!  msg = "";
%!  try
%!    out = feval (name, args{:});
%!  catch err
%!    id = err.identifier;
%!    msg = err.message;
%!  end_try_catch
%!endfunction

%!test
%! [S, P] = all_subsets (3);
%! counts = Ortesk_count_mex ([], S);
%! codes = Ortesk_slots_mex ([], S, counts);
%! calls = {"Zellmor_mex",      {4, [0.5 0.25 1 2; 1 0 3 0.125; 2 1 0.5 1], S, P, [4 2]}, 1:5
%!          "Zellmor_raw_mex",  {4, [1 2 3 4; 4 3 2 1; 1 1 2 2], S, P}, 1:4
%!          "Ortesk_count_mex", {[], S}, 2
%!          "Ortesk_slots_mex", {[], S, counts}, 2:3
%!          "Quivane_mex",      {zeros(1, 7), [0.25 0.5 0.25], [1; 3; 2], codes, cumsum(counts)}, 1:5};
%! classes = {"logical", "single", "int8", "uint8", "int16", "uint16", "int32", "uint32", "int64", "uint64"};
%! for c = 1:rows (calls)
%!   [name, args, read] = calls{c,:};
%!   for k = read
%!     for cls = classes
%!       x = args{k};
%!       if (strcmp (cls{1}, "logical"))
%!         x = x != 0;
%!       else
%!         x = cast (x, cls{1});
%!       endif
%!       got = args;
%!       got{k} = x;
%!       want = args;
%!       want{k} = double (x);
%!       [F, id, msg] = outcome (name, got);
%!       [F0, id0, msg0] = outcome (name, want);
%!       label = sprintf ("%s, input %d as %s", name, k, cls{1});
%!       assert (strcmp (id, id0) && strcmp (msg, msg0), "%s: '%s' instead of '%s'", label, id, id0);
%!       assert (isequal (typecast (F(:), "uint64"), typecast (F0(:), "uint64")), "%s: other bits", label);
%!     endfor
%!   endfor
%! endfor

## A logical membership matrix is the natural one: the worked example with it.
%!assert (Zellmor_raw_mex (3, ones (2, 3), logical ([0 0; 1 0; 0 1; 1 1]), int8 ([-1 -1; 1 -1; -1 1; 3 2])), [0; 1; 1; 6])
