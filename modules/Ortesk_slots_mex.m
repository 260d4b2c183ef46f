%ORTESK_SLOTS_MEX  One-step transitions as codes, bucketed by symbol.
%   codes = Ortesk_slots_mex(~, S, counts) runs the walk of Ortesk_count_mex
%   once more and files every transition (to, from) as the code
%   to*1000000 + from (rows of S counted from 0) in the bucket of its symbol,
%   buckets in symbol order, each in walk order.
%
%   Inputs:
%     ~       any array; present but not read.
%     S       membership matrix, a x L, real and full (double, logical, single
%             or an integer class, read as double(S)), at most 2148 rows
%             (the codes must fit 32 bits).
%     counts  the result of Ortesk_count_mex for the same S, as a row or a
%             column; its first L elements are read and never modified.
%   Result:
%     codes   1 x sum(counts) row of codes.
%
%   Example:
%     S = [0 0; 1 0; 0 1; 1 1];
%     counts = Ortesk_count_mex([], S);
%     Ortesk_slots_mex([], S, counts)
%     % returns [1000001 3000002 3000003 2000002 3000001 3000003]
%
%   Counts that do not match S are rejected (Ortesk_slots_mex:countMismatch)
%   rather than leaving codes outside their buckets.
%
%   See also Ortesk_count_mex, Quivane_mex.

%!shared S
%! S = [0 0; 1 0; 0 1; 1 1];
%!assert (Ortesk_slots_mex ([], S, [3; 3]), [1000001 3000002 3000003 2000002 3000001 3000003])
%!error id=Ortesk_slots_mex:countMismatch Ortesk_slots_mex ([], S, [3; 2])
