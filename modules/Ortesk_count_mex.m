%ORTESK_COUNT_MEX  Number of one-step transitions under each symbol.
%   counts = Ortesk_count_mex(~, S) walks every ordered pair (to, from) of
%   the rows 2..a of the membership matrix S (a x L) and counts, per symbol,
%   the transitions: a pair where the to-row is the from-row with one symbol
%   added counts once for that symbol; a pair of equal rows counts once for
%   every symbol the row holds. The first row of S takes no part.
%
%   Inputs:
%     ~  any array; present but not read.
%     S  membership matrix, a x L, real and full: double, logical, single or
%        an integer class (read as double(S)); entries are compared
%        exactly with 0 and 1 (other values are kept as they are).
%   Result:
%     counts  L x 1 whole numbers; the bucket sizes for Ortesk_slots_mex.
%
%   Example:
%     S = [0 0; 1 0; 0 1; 1 1];
%     Ortesk_count_mex([], S)     % returns [3; 3]
%
%   Errors have identifiers Ortesk_count_mex:<reason>.
%
%   See also Ortesk_slots_mex, Quivane_mex.

%!assert (Ortesk_count_mex ([], [0 0; 1 0; 0 1; 1 1]), [3; 3])
%!assert (Ortesk_count_mex ([], logical ([0 0; 1 0; 0 1; 1 1])), [3; 3])
%!error id=Ortesk_count_mex:notRealDouble Ortesk_count_mex ([], {[0 0; 1 0; 0 1; 1 1]})
