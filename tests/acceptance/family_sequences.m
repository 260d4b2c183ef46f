## [F, X, weight, final] = family_sequences (S, O)
##
## The oracle of the acceptance suites: every one of the L^T symbol sequences
## of T = columns (O) steps, written out. X (L^T x T) holds them, the first
## step most significant; weight is each one's product of O(symbol, step);
## final is the row of S (its first copy) that the sequence's running set of
## distinct symbols ends as, or 0 where that set is not a row of S at some
## step: the sequence leaves the family. F (n x 1) adds the weights of the
## sequences that stay, by final row.
function [F, X, weight, final] = family_sequences (S, O)
  [n, L] = size (S);
  T = columns (O);
  N = L ^ T;
  X = zeros (N, T);
  rest = (0:N-1)';
  for t = T:-1:1
    X(:, t) = mod (rest, L) + 1;
    rest = floor (rest / L);
  endfor
  codes = S * pow2 (0:L-1)';
  [distinct, first] = unique (codes, "first");
  weight = ones (N, 1);
  running = zeros (N, 1);
  row = zeros (N, 1);
  stays = true (N, 1);
  for t = 1:T
    weight .*= O(sub2ind (size (O), X(:, t), repmat (t, N, 1)));
    running = bitor (running, pow2 (X(:, t) - 1));
    [in, at] = ismember (running, distinct);
    stays &= in;
    row(in) = first(at(in));
  endfor
  final = row .* stays;
  F = accumarray (final(stays), weight(stays), [n 1]);
endfunction
