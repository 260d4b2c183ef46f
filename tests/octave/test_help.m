## Every module answers `help` with its usage line.

%!test
%! usage = {"Zellmor_mex",      "F = Zellmor_mex(T, O, S, P)"
%!          "Zellmor_raw_mex",  "F = Zellmor_raw_mex(T, O, S, P)"
%!          "Ortesk_count_mex", "counts = Ortesk_count_mex(~, S)"
%!          "Ortesk_slots_mex", "codes = Ortesk_slots_mex(~, S, counts)"
%!          "Quivane_mex",      "A = Quivane_mex(X, w, list, codes, cum)"};
%! for m = 1:rows (usage)
%!   [name, line] = usage{m,:};
%!   text = evalc (["help " name]);
%!   assert (index (text, line) > 0, "help %s lacks '%s'", name, line);
%!   assert (index (text, upper (name)) > 0, "help %s lacks its H1 line", name);
%!   assert (index (text, "See also") > 0, "help %s lacks its cross references", name);
%!   assert (exist (name) == 3, "%s is not a compiled module", name);
%! endfor

