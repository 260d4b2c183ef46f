function [symbols, logp] = membership_viterbi (reports, S, P, p, E, varargin)
%MEMBERSHIP_VITERBI  The most likely draws behind reports, under the draw-and-report model on a family.
%   [symbols, logp] = membership_viterbi (reports, S, P, p, E) finds, for
%   a sequence of reports, the sequence of draws x that is most likely
%   jointly with them under the model membership_decode reads (p the
%   symbol probabilities, E(s, m) the probability of reporting m for s,
%   the running set of distinct draws a row of S at every step):
%
%     symbols  1 x T: the draws, as column numbers of S. Not the most
%              likely symbol of each step (membership_decode gives those
%              probabilities): on a family that caps the distinct symbols,
%              a better symbol at one step can cost a set that every later
%              step must keep to.
%     logp     the log of its probability jointly with the reports,
%              conditional on staying in the family, as membership_decode's
%              logL is: log (w(j) prod_t p(x_t) E(x_t, y_t)) - log Z0, j the
%              row the draws end in. -Inf, with symbols all 0, where the
%              model cannot produce the reports.
%
%   reports is one sequence (a vector of whole numbers in 1..M) or a cell
%   array of them; symbols is then a cell array shaped like it and logp
%   1 x B. Ties are broken as Zellmor_path_mex breaks them.
%
%   membership_viterbi (..., 'FinalWeights', w) weighs where the draws end
%   (n elements, >= 0; ones by default): the weight of a sequence of draws
%   is multiplied by w of the row it ends in.
%
%   All sequences go to Zellmor_path_mex in one batch call.
%
%   Example:
%     [S, P] = bounded_subsets (3, 2);          % at most 2 distinct symbols
%     p = [0.4; 0.35; 0.25];
%     E = 0.1 * ones (3) + 0.7 * eye (3);       % reports right 80% of the time
%     [symbols, logp] = membership_viterbi ([1 2 3 1 2], S, P, p, E)
%     % symbols = [1 2 1 1 2], logp = -7.1633: each step alone would take
%     % the symbol reported, three in all; with at most two, report 3 is
%     % read as a wrong report of symbol 1.
%
%   Errors: membership_viterbi:badReports, :badFamily, :badProbabilities,
%   :badEmissions, :badFinalWeights, :badOption.
%
%   See also membership_decode, membership_generate, membership_train,
%   Zellmor_path_mex.
  caller = 'membership_viterbi';
  narginchk (5, Inf);
  options = model_options (caller, varargin, struct ('FinalWeights', []));
  [p, E, w] = model_parameters (caller, S, P, p, E, options.FinalWeights, 'p', 'E');
  [Y, lengths, shape] = report_sequences (caller, reports, size (E, 2));
  symbols = cell (1, numel (lengths));
  logp = zeros (1, numel (lengths));
  if (~isempty (lengths))
    O = mat2cell (p .* E(:, Y), numel (p), lengths);
    [logq, symbols] = Zellmor_path_mex (lengths, O, S, P, w);
    logp = logq - log_free_weight (S, P, p, lengths, w);
  end
  if (isempty (shape))
    symbols = symbols{1};
  else
    symbols = reshape (symbols, shape);
  end
end

%!test
%! [S, P] = bounded_subsets (3, 2);
%! [symbols, logp] = membership_viterbi ({[1 2 3 1 2]; 3}, S, P, [0.4 0.35 0.25], 0.1 * ones (3) + 0.7 * eye (3));
%! assert (symbols, {[1 2 1 1 2]; 3});
%! assert (logp(2), log (0.25 * 0.8), 1e-14);
