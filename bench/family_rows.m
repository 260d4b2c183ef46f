## The family of rows `kept` of S (the full set last among them), P
## renumbered to match; an entry whose row is not kept becomes -1.
function [S, P] = family_rows (S, P, kept)
  where = zeros (rows (S), 1);
  where(kept) = 1:numel (kept);
  S = S(kept, :);
  P = P(kept, :);
  has = P ~= -1;
  P(has) = where(P(has));
  P(P == 0) = -1;
endfunction
