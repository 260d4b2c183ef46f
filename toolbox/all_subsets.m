function [S, P] = all_subsets (L)
%ALL_SUBSETS  Membership matrix and predecessor table of every subset of L symbols.
%   [S, P] = all_subsets (L) returns the 2^L x L membership matrix S whose
%   row i holds the symbols of the set bits of i-1, the lowest bit being
%   symbol 1: the empty set first, then {1}, {2}, {1, 2}, {3}, ... and the
%   full set last. P is its 2^L x L predecessor table for Zellmor_mex and
%   Zellmor_raw_mex: P(i, c) is the row of S(i, :) without symbol c, or -1
%   when row i lacks symbol c.
%
%   Example:
%     [S, P] = all_subsets (2)
%     % S = [0 0; 1 0; 0 1; 1 1],  P = [-1 -1; 1 -1; -1 1; 3 2]
%     Zellmor_raw_mex (3, ones (2, 3), S, P)     % returns [0; 1; 1; 6]
%
%   See also Zellmor_mex, Ortesk_count_mex.
  n = 2 ^ L;
  rows = (0:n-1)';
  S = zeros (n, L);
  P = -ones (n, L);
  for c = 1:L
    S(:, c) = bitget (rows, c);
    holds = find (S(:, c));
    P(holds, c) = holds - 2 ^ (c - 1);
  end
end
