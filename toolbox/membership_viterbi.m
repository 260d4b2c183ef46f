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
%     E = [0.6 0.4; 0.2 0.8; 0.3 0.7];
%     [symbols, logp] = membership_viterbi ([1 2 2 1 2], S, P, p, E)
%     % Each step alone would pick symbol 1 for report 1 and 2 for report
%     % 2; here the draws keep to at most two symbols throughout.
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
%! [S, P] = all_subsets (2);
%! [symbols, logp] = membership_viterbi ([2 1 1], S, P, [0.5 0.5], [0.9 0.1; 0.2 0.8]);
%! assert (symbols, [2 1 1]);
%! assert (logp, log (0.8 * 0.9 * 0.9 / 8), 1e-13);
