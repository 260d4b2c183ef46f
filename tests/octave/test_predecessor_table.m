## predecessor_table against its definition written out, and against the
## table all_subsets builds; a table it builds drives the forward recursion
## as a hand-built one does.

## P(j, k): the first row equal to row j less the k-th symbol of the last
## row, else the first empty row; -1 where row j lacks the symbol.
%!function P = literal_table (S)
%!  Q = find (S(end,:));
%!  P = -ones (rows (S), numel (Q));
%!  for j = 1:rows (S)
%!    for k = find (S(j, Q))
%!      less = S(j,:);
%!      less(Q(k)) = 0;
%!      r = find (all (S == less, 2), 1);
%!      if (isempty (r))
%!        r = find (! any (S, 2), 1);
%!      endif
%!      P(j, k) = r;
%!    endfor
%!  endfor
%!endfunction

%!test
%! for L = 0:8
%!   [S, P] = all_subsets (L);
%!   assert (predecessor_table (S), P);
%!   assert (predecessor_table (logical (S)), P);
%! endfor

## Families: {label, S}, each compared with the literal table.
%!test
%! rand ("seed", 41);
%! S4 = all_subsets (4);
%! shuffled = [S4(randperm (15),:); S4(16,:)];
%! S5 = all_subsets (5);
%! sparse_family = [S5(rand (32, 1) < 0.5,:); S5(32,:)];
%! families = {"shuffled", shuffled
%!             "rows missing", [sparse_family(end:-1:2,:); S5(1,:); S5(32,:)]
%!             "rows repeated", [S4(1:6,:); S4(2:4,:); S4(1,:); S4]
%!             "last row not the full set", [0 0 0; 1 0 0; 0 0 1; 1 0 1]
%!             "empty last row", [0 0; 1 0; 0 0]
%!             "a chain", [0 0 0; 1 0 0; 1 1 0; 1 1 1]
%!             "symbols beyond 53", [zeros(1, 60); eye(60); ones(1, 60)]};
%! warning ("off", "predecessor_table:duplicateStates", "local");
%! warning ("off", "predecessor_table:lastRowLacksSymbol", "local");
%! for f = 1:rows (families)
%!   [label, S] = families{f,:};
%!   assert (isequal (predecessor_table (S), literal_table (S)), "%s", label);
%! endfor

## The shuffled family's raw recursion is the ordered one's, rows permuted,
## bit for bit: each state's terms still add in the order of the symbols.
%!test
%! rand ("seed", 43);
%! [S, P] = all_subsets (5);
%! order = [randperm(31), 32];
%! O = rand (5, 6);
%! F = Zellmor_raw_mex (6, O, S, P);
%! assert (isequal (Zellmor_raw_mex (6, O, S(order,:), predecessor_table (S(order,:))), F(order)));

%!test
%! for S = {[0 0; 2 0], [0 NaN; 1 1], [0 0; 0.5 1], [0 -1; 1 1], [0 0; 1i 1], {1}}
%!   assert (error_identifier ("predecessor_table", S{1}), "predecessor_table:notZeroOne");
%! endfor
%! assert (size (predecessor_table (zeros (0, 3))), [0 0]);

## Where an entry needs the empty set and S has none, the call names the
## state and the symbol. Repeated states and a last row that lacks a symbol
## are warned of.
%!error <row 1 of S, the state \{1, 2\}, holds symbol 1, and \{2\}.*Add the empty set> predecessor_table ([1 1 0; 1 1 1])
%!warning <row 3 repeats row 2> predecessor_table ([0 0; 1 0; 1 0; 1 1]);
%!warning <last row of S \(row 3\) lacks symbol 2> predecessor_table ([0 0; 0 1; 1 0]);
