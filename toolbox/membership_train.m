function [p, E, logL, info] = membership_train (reports, S, P, p0, E0, varargin)
%MEMBERSHIP_TRAIN  Maximum-likelihood fit of the draw-and-report model on a family to sequences of reports.
%   [p, E, logL, info] = membership_train (reports, S, P, p0, E0) fits the
%   symbol probabilities p (L x 1) and the report probabilities E (L x M) of
%   the model that membership_decode reads, from the start p0, E0: each step
%   draws a symbol from p, reports it as m with probability E(s, m), and
%   the running set of distinct draws stays a row of S at every step. logL
%   is the total over the sequences of their log-likelihoods conditional
%   on staying in the family (membership_decode's logL). reports is one
%   sequence (a vector of whole numbers in 1..M) or a cell array of them.
%
%   Options (Name, Value; names match without regard to case):
%     'Tolerance'      the fit has converged when an iteration raises the
%                      objective by at most Tolerance times its magnitude
%                      and no component of its gradient with respect to
%                      log p and log E, each renormalised to its
%                      constraint, exceeds sqrt (Tolerance) / 10, or when
%                      no step can raise it beyond the rounding of its
%                      value, 2e-14 of it (default 1e-8).
%     'MaxIterations'  the most iterations (default 500).
%     'Verbose'        true prints a line per iteration: the iteration, the
%                      objective and its change (default false).
%     'FixEmissions'   true fits p alone; E is returned exactly as given.
%     'Pseudocounts'   a scalar or an L x M array, >= 0, added to the
%                      expected report counts: the fit of E is then the
%                      maximum of the objective logL + sum (alpha .* log E)
%                      (the Dirichlet log-prior they match), which the trace
%                      and the stopping rule follow (default 0; no
%                      effect under 'FixEmissions').
%     'FinalWeights'   n weights, >= 0, of where the sequences end, as
%                      membership_decode reads them (default ones).
%
%   info holds:
%     iterations  the quasi-Newton steps taken;
%     converged   true when the fit ended as 'Tolerance' says;
%     logLTrace   1 x (iterations + 1): the objective at the start and after
%                 each iteration. It never decreases.
%     stderrP     L x 1 and
%     stderrE     L x M: standard errors from the observed information of
%                 the objective at the fit. NaN where a parameter is not
%                 fitted (E under 'FixEmissions', an entry that is 0 at the
%                 start, a row with one positive entry), and NaN with the
%                 warning membership_train:notIdentified where the
%                 information is singular along a direction that moves it.
%
%   When p and E are identified: the reports must tell the symbols apart
%   through E and the family through the sets the draws may pass through.
%   On the family of every subset (all_subsets) with FinalWeights of ones,
%   every step is an independent draw, and the reports identify only the
%   mixture p' * E: fix E there ('FixEmissions'), or its standard errors
%   come back NaN with the warning. On a family that caps or orders the
%   sets (bounded_subsets, a chain), which sets a sequence keeps to carries
%   information on p beyond the mixture, but E and p are still best fitted
%   with E known or held by pseudocounts where the data are few. With E
%   fixed and its rows distinct, p is identified. p is only known up to its
%   symbols in play: logL does not change when p is scaled, so p is
%   returned summing to 1.
%
%   The fit: a quasi-Newton (BFGS) ascent in the log-ratio coordinates of p
%   and of each row of E, started from the information of the expected
%   counts (so that its first step is that of the familiar re-estimation of
%   E from the expected report counts), with a line search that accepts
%   only steps that do not lower the objective. Entries of p0 and E0 that
%   are 0 stay 0, and take no pseudocount. Each evaluation is one batch call
%   of Zellmor_grad_mex over every sequence, and one all-p sequence per
%   distinct length for the weight of staying in the family. The standard
%   errors take one more call per fitted coordinate: finite differences of
%   the exact gradient in those coordinates, mapped to p and E by the delta
%   method.
%
%   Example (reports that are right 80% of the time, at most 3 of 6 symbols):
%     [S, P] = bounded_subsets (6, 3);
%     p = [0.25; 0.2; 0.18; 0.15; 0.12; 0.1];
%     E = 0.04 * ones (6) + 0.76 * eye (6);
%     rng (1);
%     reports = membership_generate (repmat (10, 1, 200), S, P, p, E);
%     [p_fit, ~, ~, info] = membership_train (reports, S, P, ones (6, 1) / 6, E, 'FixEmissions', true);
%     [p, p_fit, info.stderrP]     % p_fit within about 0.01 of p
%
%   Errors: membership_train:badReports, :badFamily, :badProbabilities (p0),
%   :badEmissions (E0), :badFinalWeights, :badOption (an option or its
%   value), :zeroLikelihood (a sequence p0 and E0 cannot produce).
%
%   See also membership_decode, membership_generate, membership_viterbi,
%   Zellmor_grad_mex, bounded_subsets.
  caller = 'membership_train';
  narginchk (5, Inf);
  options = model_options (caller, varargin, struct ('Tolerance', 1e-8, 'MaxIterations', 500, 'Verbose', false, ...
                                                     'FixEmissions', false, 'Pseudocounts', 0, ...
                                                     'FinalWeights', []));
  [p, E, w] = model_parameters (caller, S, P, p0, E0, options.FinalWeights, 'p0', 'E0');
  [Y, lengths] = report_sequences (caller, reports, size (E, 2));
  if (isempty (lengths))
    error ('membership_train:badReports', 'membership_train: reports holds no sequence to fit');
  end
  options = checked_options (caller, options, size (E));
  model = fit_model (S, P, p, E, w, Y, lengths, options);
  x = coordinates (model, p, E);
  [f, gradient, point] = evaluate (model, x);
  bad = find (~isfinite (point.logL), 1);
  if (~isempty (bad))
    error ('membership_train:zeroLikelihood', ['membership_train: sequence %d of reports has probability 0 ' ...
           'under p0 and E0 (logL %g): no draws that stay in the family report it'], bad, point.logL(bad));
  end
  stationary = sqrt (options.Tolerance) / 10;
  inverse = start_inverse (model, point);
  trace = f;
  converged = point.largest <= stationary;
  iteration = 0;
  stalled = 0;
  fresh = true;
  while (~converged && iteration < options.MaxIterations)
    [step, f_new, gradient_new, point_new, rounded] = line_search (model, x, f, gradient, inverse * gradient);
    if (isempty (step) && ~rounded)
      % The curvature gathered so far points nowhere uphill: start it again
      % from the expected counts, once, before giving up.
      inverse = start_inverse (model, point);
      fresh = true;
      [step, f_new, gradient_new, point_new, rounded] = line_search (model, x, f, gradient, inverse * gradient);
    end
    if (isempty (step))
      % Stationary to the rounding of f, where no step can be judged, or stuck.
      converged = rounded;
      break;
    end
    iteration = iteration + 1;
    inverse = bfgs_update (inverse, step, gradient - gradient_new, fresh);
    fresh = false;
    change = f_new - f;
    if (change == 0 && point_new.largest >= point.largest)
      stalled = stalled + 1;
    else
      stalled = 0;
    end
    x = x + step;
    [f, gradient, point] = deal (f_new, gradient_new, point_new);
    trace(end + 1) = f;
    if (options.Verbose)
      fprintf ('%6d  %.12g  %.3g\n', iteration, f, change);
    end
    converged = change <= options.Tolerance * abs (f) && point.largest <= stationary;
    if (stalled == 5)
      converged = true;   % at the rounding of f and its gradient: nothing moves any more
      break;
    end
  end
  p = point.p;
  logL = sum (point.logL);
  if (model.fit_emissions)
    E = point.E;
  else
    E = E0;
  end
  [stderrP, stderrE] = standard_errors (model, x, gradient, point);
  info = struct ('iterations', iteration, 'converged', converged, 'logLTrace', trace, ...
                 'stderrP', stderrP, 'stderrE', stderrE);
end

function options = checked_options (caller, options, sizeE)
  t = options.Tolerance;
  if (~is_real_scalar (t) || ~(t > 0) || ~isfinite (t))
    option_error (caller, 'Tolerance', 'a positive number', t);
  end
  m = options.MaxIterations;
  if (~is_real_scalar (m) || m < 0 || m ~= fix (m))
    option_error (caller, 'MaxIterations', 'a whole number >= 0', m);
  end
  for name = {'Verbose', 'FixEmissions'}
    v = options.(name{1});
    if (~is_real_scalar (v) || isnan (v))
      option_error (caller, name{1}, 'true or false', v);
    end
    options.(name{1}) = logical (v);
  end
  a = options.Pseudocounts;
  if (~(isnumeric (a) && isreal (a)) || ~(isscalar (a) || isequal (size (a), sizeE)) || any (~isfinite (a(:))) ...
      || any (a(:) < 0))
    option_error (caller, 'Pseudocounts', sprintf ('a scalar or a %d x %d array, finite and >= 0', sizeE), a);
  end
  options.Pseudocounts = double (full (a));
end

function yes = is_real_scalar (x)
  yes = is_real_array (x) && isscalar (x);
end

function option_error (caller, name, wanted, found)
  if ((isnumeric (found) || islogical (found)) && isscalar (found))
    found = sprintf ('%.17g', double (found));
  else
    found = shape_text (found);
  end
  error ([caller ':badOption'], '%s: %s must be %s; found %s', caller, name, wanted, found);
end

% What stays the same through the fit: the data, the family, which entries
% of p and E move, and the pseudocounts. The coordinates x are the log
% ratios of the moving entries of p to its last positive entry, then, row
% by row, those of each row of E to the row's last positive entry
% (E_index lists those entries of E, E_row their rows).
function model = fit_model (S, P, p, E, w, Y, lengths, options)
  [L, M] = size (E);
  model = struct ('S', S, 'P', P, 'w', w, 'Y', Y, 'lengths', lengths, 'fit_emissions', ~options.FixEmissions);
  model.draws = sum (lengths);
  model.p_support = p > 0;
  model.p_reference = find (model.p_support, 1, 'last');
  model.p_free = model.p_support;
  model.p_free(model.p_reference) = false;
  model.E = E;
  model.E_support = false (L, M);
  model.E_index = zeros (0, 1);
  model.E_row = zeros (0, 1);
  model.E_reference = zeros (L, 1);
  model.alpha = zeros (L, M);
  model.EY = E(:, Y);
  if (model.fit_emissions)
    model.E_support = E > 0;
    [~, last] = max (fliplr (model.E_support), [], 2);
    model.E_reference = sub2ind ([L M], (1:L)', M + 1 - last);
    free = model.E_support;
    free(model.E_reference) = false;
    [m, model.E_row] = find (free');
    model.E_index = sub2ind ([L M], model.E_row, m);
    model.alpha = options.Pseudocounts .* model.E_support;
    model.reported = sparse (1:numel (Y), Y, 1, numel (Y), M);
    model.EY = [];
  end
end

function x = coordinates (model, p, E)
  x = [log(p(model.p_free)) - log(p(model.p_reference));
       log(E(model.E_index)) - log(E(model.E_reference(model.E_row)))];
end

function [p, E] = parameters (model, x)
  [L, M] = size (model.E);
  free = nnz (model.p_free);
  logits = -Inf (L, 1);
  logits(model.p_reference) = 0;
  logits(model.p_free) = x(1:free);
  p = exp (logits - max (logits));
  p = p / sum (p);
  E = model.E;
  if (model.fit_emissions)
    logits = -Inf (L, M);
    logits(model.E_reference) = 0;
    logits(model.E_index) = x(free+1:end);
    E = exp (logits - max (logits, [], 2));
    E = E ./ sum (E, 2);
  end
end

% The objective f at x, its gradient in x, and point: p, E, each
% sequence's logL, the expected report counts plus pseudocounts (counts),
% and the largest component of the renormalised gradient (largest).
function [f, gradient, point] = evaluate (model, x)
  [p, E] = parameters (model, x);
  EY = model.EY;
  if (isempty (EY))
    EY = E(:, model.Y);
  end
  [logL, D, D0] = model_batch (model.S, model.P, p, p .* EY, model.lengths, model.w);
  f = sum (logL);
  g = sum (D .* EY, 2) - D0;
  along_p = p .* (g - p' * g);
  along_E = zeros (size (E));
  counts = zeros (size (E));
  if (model.fit_emissions)
    counts = full (D * model.reported) .* p .* E + model.alpha;
    along_E = counts - E .* sum (counts, 2);
    f = f + sum (model.alpha(model.E_support) .* log (E(model.E_support)));
  end
  gradient = [along_p(model.p_free); along_E(model.E_index)];
  point = struct ('p', p, 'E', E, 'logL', logL, 'counts', counts, ...
                  'largest', max ([0; abs(along_p(model.p_support)); abs(along_E(model.E_support))]));
end

% The step a * d from x: a = 1 (or less, so that no coordinate moves by
% more than 10), then shorter by quadratic interpolation, until it raises f
% enough (Armijo). Where the rise it promises is within the rounding of f,
% f cannot judge it: a step that does not lower f is then taken, from a few
% lengths close to the quasi-Newton one, which the gradient chose. step is
% empty where none does; rounded is then true when no rise beyond rounding
% was to be had.
function [step, f_new, gradient_new, point_new, rounded] = line_search (model, x, f, gradient, d)
  step = [];
  [f_new, gradient_new, point_new] = deal ([]);
  slope = gradient' * d;
  rounding = 100 * eps * max (1, abs (f));
  first = min (1, 10 / max (abs (d)));
  rounded = ~(first * slope > rounding);
  if (~(slope > 0))
    return;
  end
  a = first;
  for try_number = 1:40
    [f_try, gradient_try, point_try] = evaluate (model, x + a * d);
    within = a * slope <= rounding;
    if (f_try >= f && (f_try - f >= 1e-4 * a * slope || within))
      step = a * d;
      [f_new, gradient_new, point_new] = deal (f_try, gradient_try, point_try);
      return;
    end
    if (rounded && a > 0.6 * first)
      a = 0.8 * a;
    elseif (within)
      return;
    elseif (isfinite (f_try))
      a = min (0.5 * a, max (0.1 * a, slope * a ^ 2 / (2 * (f + slope * a - f_try))));
    else
      a = 0.1 * a;
    end
  end
end

% The inverse curvature at the start of the fit, and after a reset: the
% inverse information of the draws (multinomial, sum (lengths) of them) and
% of each row's expected reports, in the log-ratio coordinates. Its step
% on E is close to the re-estimation from the expected counts.
function inverse = start_inverse (model, point)
  blocks = {multinomial_inverse(point.p(model.p_support), model.draws)};
  if (model.fit_emissions)
    for s = find (sum (model.E_support, 2) > 1)'
      blocks{end + 1} = multinomial_inverse (point.E(s, model.E_support(s, :))', max (1, sum (point.counts(s, :))));
    end
  end
  inverse = blkdiag (blocks{:});
end

% Inverse of the information of N draws from the probabilities q (the last
% one the reference) in the log-ratio coordinates of the others.
function inverse = multinomial_inverse (q, N)
  inverse = (diag (1 ./ q(1:end-1)) + 1 / q(end)) / N;
end

% The BFGS update of the inverse curvature of -f, skipped where the step
% shows none (ascent on a region that is not concave). The first update
% after a start rescales the start to the curvature the step found.
function inverse = bfgs_update (inverse, step, rise, fresh)
  curvature = step' * rise;
  if (~(curvature > 1e-12 * norm (step) * norm (rise)))
    return;
  end
  moved = inverse * rise;
  if (fresh)
    inverse = inverse * (curvature / (rise' * moved));
    moved = inverse * rise;
  end
  r = 1 / curvature;
  inverse = inverse - r * (step * moved' + moved * step') + (r ^ 2 * (rise' * moved) + r) * (step * step');
end

% Standard errors of p and E at x: the observed information in the
% coordinates (forward differences of the exact gradient, symmetrised),
% inverted on the directions it identifies, then carried to every entry of
% p and E by the delta method.
function [stderrP, stderrE] = standard_errors (model, x, gradient, point)
  [L, M] = size (model.E);
  stderrP = NaN (L, 1);
  stderrE = NaN (L, M);
  count = numel (x);
  if (count == 0)
    return;
  end
  h = 1e-6;
  hessian = zeros (count);
  for i = 1:count
    moved = x;
    moved(i) = moved(i) + h;
    [~, gradient_moved] = evaluate (model, moved);
    hessian(:, i) = (gradient_moved - gradient) / h;
  end
  [V, lambda] = eig (-(hessian + hessian') / 2);
  lambda = diag (lambda);
  kept = lambda > 1e-7 * max (abs (lambda));
  J = delta_jacobian (model, point);
  spread = J * V(:, kept);
  variance = sum ((spread ./ lambda(kept)') .* spread, 2);
  unknown = sqrt (sum ((J * V(:, ~kept)) .^ 2, 2)) > 1e-6 * sqrt (sum (J .^ 2, 2));
  several = repmat (sum (model.E_support, 2) > 1, M, 1);
  fitted = [model.p_support & nnz(model.p_support) > 1; model.E_support(:) & several];
  errors = NaN (L + L * M, 1);
  errors(fitted & ~unknown) = sqrt (variance(fitted & ~unknown));
  stderrP = errors(1:L);
  stderrE = reshape (errors(L+1:end), L, M);
  lost = find (fitted & unknown);
  if (~isempty (lost))
    names = [arrayfun(@(s) sprintf ('p(%d)', s), (1:L)', 'UniformOutput', false);
             arrayfun(@(k) sprintf ('E(%d, %d)', mod (k - 1, L) + 1, floor ((k - 1) / L) + 1), (1:L*M)', ...
                      'UniformOutput', false)];
    warning ('membership_train:notIdentified', ['membership_train: the observed information is singular: ' ...
             'the reports leave %s free along a direction of no curvature (a parameter at 0, or one the data ' ...
             'cannot tell from others), and their standard errors are NaN. On the family of every subset, p ' ...
             'and E are not identified together: fix E (''FixEmissions'', true).'], few_of (names(lost), numel (lost)));
  end
end

% d[p; E(:)] / dx at the fit: (L + L M) x numel (x).
function J = delta_jacobian (model, point)
  [L, M] = size (model.E);
  p = point.p;
  E = point.E;
  free_p = find (model.p_free);
  Jp = -p * p(free_p)';
  diagonal = sub2ind (size (Jp), free_p', 1:numel (free_p));
  Jp(diagonal) = Jp(diagonal) + p(free_p)';
  free_E = model.E_index;
  JE = zeros (L * M, numel (free_E));
  for c = 1:numel (free_E)
    [s, m] = ind2sub ([L M], free_E(c));
    column = zeros (L, M);
    column(s, :) = -E(s, :) * E(s, m);
    column(s, m) = column(s, m) + E(s, m);
    JE(:, c) = column(:);
  end
  J = [Jp, zeros(L, numel (free_E)); zeros(L * M, numel (free_p)), JE];
end

%!test
%! % Every subset, reports exact: p is the share of each symbol among the reports.
%! [S, P] = all_subsets (3);
%! [p, E, logL, info] = membership_train ({[1 1 2], [3 1]}, S, P, [1 1 1] / 3, eye (3), 'FixEmissions', true);
%! assert (p, [3; 1; 1] / 5, 1e-6);
%! assert (logL, 3 * log (3 / 5) + 2 * log (1 / 5), 1e-10);
%! assert (info.converged && isequal (E, eye (3)));
%!error id=membership_train:badOption membership_train ([1 2], [0; 1], [-1; 1], 1, [0.5 0.5], 'Tolerance', -1)
