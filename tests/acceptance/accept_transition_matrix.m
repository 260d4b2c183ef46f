## transition_matrix (S, w, list): the sparse transition matrix straight from
## S. It must hold the code pipeline's bits wherever the codes reach, mean
## what the brute-force oracle of every symbol sequence says it means, and
## answer the chain's questions on every subset of up to 20 symbols.

## The code pipeline's sparse matrix for list(:), or every symbol once.
%!function B = pipeline (S, w, list)
%!  counts = Ortesk_count_mex ([], S);
%!  codes = Ortesk_slots_mex ([], S, counts);
%!  B = Quivane_mex (zeros (1, rows (S) - 1), w, list(:), codes, cumsum (counts), "sparse");
%!endfunction

## Both sparse with the same shape, room, stored cells and bits.
%!function assert_same_bits (A, B, label)
%!  [ia, ja, va] = find (A);
%!  [ib, jb, vb] = find (B);
%!  assert (issparse (A) && isequal (size (A), size (B)) && nzmax (A) == nzmax (B), "%s: shape or room", label);
%!  assert (isequal ([ia ja], [ib jb]), "%s: stored cells differ", label);
%!  first = find (typecast (va, "uint64") != typecast (vb, "uint64"), 1);
%!  assert (isempty (first), "%s: entry (%d, %d) is %.17g, the pipeline's %.17g", label, ia(first), ja(first), ...
%!          va(first), vb(first));
%!endfunction

## Random families up to the codes' limit of 2148 rows: repeated, shuffled,
## empty and unclosed rows; weights that cancel, vanish or are not finite;
## lists with repeats as rows or columns, or none.
%!test
%! rand ("seed", 28);
%! pool = [0.25 -0.25 0.5 -0.5 0.1 -0.1 0 -0 1e-300 NaN Inf -Inf];
%! shapes = {@(x) x, @(x) x(:)};
%! for round = 1:40
%!   L = randi (12);
%!   n = merge (round == 1, 2148, randi (2148));
%!   S = double (rand (n, L) < rand ());
%!   copies = randi (n, 1, randi (ceil (n / 4)));
%!   S(copies, :) = S(randi (n, size (copies)), :);
%!   S = S(randperm (n), :);
%!   if (mod (round, 2))
%!     w = pool(randi (numel (pool), 1, L));
%!   else
%!     w = rand (1, L) / L;
%!   endif
%!   list = randi (L, 1, randi (3 * L + 1) - 1);
%!   if (mod (round, 5) == 0)
%!     assert_same_bits (transition_matrix (S, w), pipeline (S, w, 1:L), sprintf ("round %d, no list", round));
%!   else
%!     shaped = shapes{mod (round, 2) + 1} (list);
%!     assert_same_bits (transition_matrix (S, w, shaped), pipeline (S, w, list), sprintf ("round %d", round));
%!   endif
%! endfor

## The worked example, and logical, single and integer inputs read as double.
%!test
%! S = [0 0; 1 0; 0 1; 1 1];
%! assert (full (transition_matrix (S, [0.25 0.75])), [0.25 0 0; 0 0.75 0; 0.75 0.25 1]);
%! assert_same_bits (transition_matrix (logical (S), single ([0.25 0.75]), int8 ([2 1 2])), ...
%!                   pipeline (S, [0.25 0.75], [2 1 2]), "classes");
%! assert_same_bits (transition_matrix (sparse (S), [0.5 -0.5]), pipeline (S, [0.5 -0.5], 1:2), "sparse S");

## What A means: on families with the empty set first and no repeated row,
## A^(T-1) carries the weights of the first draw to those of every symbol
## sequence of T draws that stays in the family, by the state it ends in.
%!test
%! families = {all_subsets(3), all_subsets(4)([1 2 3 5 9 4 6 7 10 13], :), [0 0 0; 1 0 0; 0 0 1; 1 0 1; 1 1 1]};
%! for k = 1:numel (families)
%!   S = families{k};
%!   L = columns (S);
%!   w = (1:L) / (L + 1);
%!   A = transition_matrix (S, w);
%!   first = (S(2:end, :) * w') .* (sum (S(2:end, :), 2) == 1);
%!   for T = 2:5
%!     F = family_sequences (S, repmat (w', 1, T));
%!     assert (full (A ^ (T - 1) * first), F(2:end), 1e-14);
%!   endfor
%! endfor

## Every subset: 2^L - 1 + L (2^(L-1) - 1) entries, every column summing to 1,
## and the expected draws until every symbol is seen, from the fundamental
## matrix, as the closed form gives them.
%!test
%! for L = [12 16 20]
%!   p = (1:L) / sum (1:L);
%!   A = transition_matrix (all_subsets (L), p);
%!   assert (nnz (A), 2^L - 1 + L * (2^(L-1) - 1));
%!   assert (max (abs (full (sum (A)) - 1)) < 1e-14, "L = %d: a column does not sum to 1", L);
%!   m = rows (A) - 1;
%!   t = (speye (m) - A(1:m, 1:m))' \ ones (m, 1);
%!   expected = 1 + p * t(2 .^ (0:L-1));
%!   unseen = @(x) reshape (-expm1 (sum (log1p (-exp (-p(:) * x(:)')), 1)), size (x));
%!   closed = quadgk (unseen, 0, Inf, "RelTol", 1e-12, "AbsTol", 0);
%!   assert (abs (expected - closed) < 1e-9 * closed, "L = %d: %.17g draws, the closed form %.17g", L, expected, closed);
%! endfor

## Bad inputs, each with the reason the function gives.
%!test
%! S = [0 0; 1 0; 0 1; 1 1];
%! cases = {{[0 0; 2 1], [1 1]},          "notZeroOne"
%!          {[0 0; 1 NaN], [1 1]},        "notZeroOne"
%!          {[0 0; 0.5 1], [1 1]},        "notZeroOne"
%!          {S, 1},                       "badWeights"
%!          {S, [1 1 1]},                 "badWeights"
%!          {S, [1 1i]},                  "notRealDouble"
%!          {S, {1, 1}},                  "notRealDouble"
%!          {S, [1 1], [1 0]},            "badSymbol"
%!          {S, [1 1], 3},                "badSymbol"
%!          {S, [1 1], 1.5},              "badSymbol"
%!          {S, [1 1], NaN},              "badSymbol"
%!          {S},                          "notEnoughInputs"};
%! for k = 1:rows (cases)
%!   try
%!     transition_matrix (cases{k, 1}{:});
%!     error ("case %d was accepted", k);
%!   catch err
%!     assert (err.identifier, ["transition_matrix:" cases{k, 2}]);
%!     assert (strncmp (err.message, "transition_matrix: ", 19), "case %d: %s", k, err.message);
%!   end_try_catch
%! endfor
