## Every module answers `help` with its usage line.

%!test
%! usage = {"Zellmor_mex",      "F = Zellmor_mex(T, O, S, P)"
%!          "Zellmor_raw_mex",  "F = Zellmor_raw_mex(T, O, S, P)"
%!          "Zellmor_grad_mex", "logL = Zellmor_grad_mex(T, O, S, P)"
%!          "Zellmor_path_mex", "logp = Zellmor_path_mex(T, O, S, P)"
%!          "Ortesk_count_mex", "counts = Ortesk_count_mex(~, S)"
%!          "Ortesk_slots_mex", "codes = Ortesk_slots_mex(~, S, counts)"
%!          "Quivane_mex",      "A = Quivane_mex(X, w, list, codes, cum)"
%!          "Quivane_states_mex", "A = Quivane_states_mex(S, w)"};
%! for m = 1:rows (usage)
%!   [name, line] = usage{m,:};
%!   text = evalc (["help " name]);
%!   assert (index (text, line) > 0, "help %s lacks '%s'", name, line);
%!   assert (index (text, upper (name)) > 0, "help %s lacks its H1 line", name);
%!   assert (index (text, "See also") > 0, "help %s lacks its cross references", name);
%!   assert (exist (name) == 3, "%s is not a compiled module", name);
%! endfor


## help on the module folder prints its Contents.m: every module of
## modules/MODULES, each with its own H1 line word for word, and this tree's
## version. An installed package keeps Contents.m one folder above the
## compiled modules, which sit in a folder of their own per architecture.
%!test
%! source_root = fullfile (fileparts (file_in_loadpath ("test_help.m")), "..", "..");
%! text_of = @(file) strtrim (strsplit (fileread (fullfile (source_root, file)), "\n"));
%! folder = fileparts (which ("Zellmor_mex"));
%! if (! exist (fullfile (folder, "Contents.m"), "file"))
%!   folder = fileparts (folder);
%! endif
%! contents = evalc (["help " folder]);
%! version = text_of ("VERSION");
%! assert (index (contents, ["Version " version{1}]) > 0, "Contents.m lacks version %s", version{1});
%! modules = text_of (fullfile ("modules", "MODULES"));
%! for name = modules(! cellfun ("isempty", modules))
%!   h1 = regexp (get_help_text (name{1}), '^\s*\S+\s+([^\n]*)', "tokens", "once"){1};
%!   entry = ['\n\s*' name{1} '\s+- ' regexptranslate("escape", h1) '\n'];
%!   assert (! isempty (regexp (contents, entry, "once")), "help %s does not list %s as '%s'", folder, name{1}, h1);
%! endfor


## help membership_mex prints the overview wherever the modules are, and each
## name of its "See also" line is found there too; a loaded package ships the
## examples beside it.
%!test
%! text = evalc ("help membership_mex");
%! see_also = regexp (text, 'See also\s+([^.]*)\.', "tokens", "once");
%! assert (! isempty (see_also), "help membership_mex lacks its cross references");
%! for name = strtrim (strsplit (see_also{1}, ","))
%!   assert (exist (name{1}) > 0, "help membership_mex refers to %s, which is not found", name{1});
%! endfor
%! package = pkg ("list", "membership_mex");
%! if (! isempty (package) && package{1}.loaded)
%!   assert (exist (fullfile (package{1}.dir, "examples", "membership_demo.m"), "file") == 2, "the package ships no membership_demo.m");
%! endif
