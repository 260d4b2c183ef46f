function [symbolPost, statePost, logL] = membership_decode (reports, S, P, p, E, varargin)
%MEMBERSHIP_DECODE  Posterior probabilities of the draws and states behind reports, and their log-likelihood.
%   [symbolPost, statePost, logL] = membership_decode (reports, S, P, p, E)
%   reads reports under the draw-and-report model on the family S, P:
%
%     - each step draws a symbol s from p (L x 1, summing to 1), independently;
%     - the draw is reported as m in 1..M with probability E(s, m) (E is
%       L x M, its rows summing to 1);
%     - the running set of distinct draws stays a row of S at every step
%       (S and P a family, as bounded_subsets, downward_closure or
%       predecessor_table return it; check_family says what that takes).
%
%   reports is one sequence (a row or column vector of whole numbers in
%   1..M) or a cell array of them. For one sequence of T reports:
%
%     symbolPost  L x T: symbolPost(s, t) is the posterior probability that
%                 step t drew symbol s, given the reports; columns sum to 1.
%     statePost   n x T: statePost(j, t) is the posterior probability that
%                 the set of distinct draws after step t is row j of S.
%     logL        the log-likelihood of the reports conditional on staying
%                 in the family: log Z(y) - log Z0, where Z(y) is the total
%                 weight of the draw sequences that stay, each weighing
%                 prod_t p(x_t) E(x_t, y_t), and Z0 the same with every E
%                 term 1, the probability of staying.
%
%   For a cell array of sequences, symbolPost and statePost are cell arrays
%   shaped like it and logL is 1 x B. A sequence the model cannot produce
%   has logL -Inf and NaN posteriors.
%
%   membership_decode (..., 'FinalWeights', w) weighs where the sequences
%   end: each draw sequence counts w(j) times, j the row it ends in (n
%   elements, >= 0; ones by default, every row alike). An indicator of a
%   row conditions on ending there.
%
%   All sequences go to Zellmor_grad_mex in one batch call, and the
%   sequences of each length share one call for Z0.
%
%   Example:
%     [S, P] = bounded_subsets (3, 2);          % at most 2 distinct symbols
%     p = [0.5; 0.3; 0.2];
%     E = [0.8 0.2; 0.5 0.5; 0.1 0.9];          % two reports
%     [symbolPost, statePost, logL] = membership_decode ([1 2 2 1], S, P, p, E);
%     symbolPost(:, 1)     % the first draw, given all four reports
%     statePost(:, end)    % the set they end in, by row of S ({1, 2} likeliest)
%
%   Errors: membership_decode:badReports, :badFamily, :badProbabilities,
%   :badEmissions, :badFinalWeights, :badOption.
%
%   See also membership_generate, membership_viterbi, membership_train,
%   Zellmor_grad_mex, bounded_subsets, check_family.
  caller = 'membership_decode';
  narginchk (5, Inf);
  options = model_options (caller, varargin, struct ('FinalWeights', []));
  [p, E, w] = model_parameters (caller, S, P, p, E, options.FinalWeights, 'p', 'E');
  [Y, lengths, shape] = report_sequences (caller, reports, size (E, 2));
  B = numel (lengths);
  symbolPost = cell (1, B);
  statePost = cell (1, B);
  logL = zeros (1, B);
  if (B > 0)
    O = mat2cell (p .* E(:, Y), numel (p), lengths);
    if (nargout > 1)
      [logZ, dO, gamma] = Zellmor_grad_mex (lengths, O, S, P, w);
      statePost = mat2cell (gamma, size (S, 1), lengths);
    else
      [logZ, dO] = Zellmor_grad_mex (lengths, O, S, P, w);
    end
    symbolPost = cellfun (@times, O, dO, 'UniformOutput', false);
    if (nargout > 2)
      logL = logZ - log_free_weight (S, P, p, lengths, w);
    end
  end
  if (isempty (shape))
    symbolPost = symbolPost{1};
    statePost = statePost{1};
  else
    symbolPost = reshape (symbolPost, shape);
    statePost = reshape (statePost, shape);
  end
end

%!test
%! [S, P] = all_subsets (2);
%! [post, states, logL] = membership_decode ([1 2], S, P, [0.5 0.5], [0.9 0.1; 0.1 0.9]);
%! assert (post, [0.9 0.1; 0.1 0.9], 1e-14);
%! assert (logL, 2 * log (0.5), 1e-14);
%! assert (states(:, 2), [0; 0.09; 0.09; 0.82], 1e-14);
%!error <membership_decode: sequence 2 of reports, step 1: found 3> ...
%! membership_decode ({1, 3}, [0; 1], [-1; 1], 1, [0.5 0.5])
