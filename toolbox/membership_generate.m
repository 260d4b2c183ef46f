function [reports, symbols] = membership_generate (T, S, P, p, E, varargin)
%MEMBERSHIP_GENERATE  Draw symbol and report sequences from the draw-and-report model on a family.
%   [reports, symbols] = membership_generate (T, S, P, p, E) draws a sequence
%   of T steps of the model that membership_decode reads:
%
%     - each step draws a symbol s from p (L x 1, summing to 1), independently;
%     - the draw is reported as m in 1..M with probability E(s, m) (E is
%       L x M, its rows summing to 1);
%     - the running set of distinct draws stays a row of S at every step.
%
%   symbols holds the draws (column numbers of S) and reports the reports,
%   both 1 x T. T a vector draws one sequence per entry: reports and
%   symbols are then 1 x numel (T) cell arrays.
%
%   The draws are exact, conditional on staying in the family: a sequence
%   of draws x comes with probability prod_t p(x_t) / Z0 among those that
%   stay, whatever the share of those (no rejection). The final set is
%   drawn from the forward weights of the all-p sequence (Zellmor_mex, one
%   call for every T), then each earlier step going back, among the terms
%   that made the weight of the set it is in. Every draw comes from rand:
%   seeding it (rng or rand ('seed', ...)) draws the same sequences again.
%   The forward weights of every step up to max (T) are kept: n x max (T)
%   doubles.
%
%   membership_generate (..., 'FinalWeights', w) conditions on where the
%   sequences end: the one ending in row j of S counts w(j) times (n
%   elements, >= 0; ones by default). An indicator of a row draws only
%   sequences ending there.
%
%   Example:
%     [S, P] = bounded_subsets (4, 2);          % at most 2 distinct symbols
%     p = [0.4; 0.3; 0.2; 0.1];
%     E = [0.9 0.1; 0.9 0.1; 0.1 0.9; 0.1 0.9]; % 1 or 2 reported, 3 or 4 not
%     rng (1);
%     [reports, symbols] = membership_generate (12, S, P, p, E)
%     numel (unique (symbols))                  % at most 2
%
%   Errors: membership_generate:badLength (T not whole numbers >= 1),
%   :noSequences (no sequence of some T stays in the family with weight),
%   :badFamily, :badProbabilities, :badEmissions, :badFinalWeights,
%   :badOption.
%
%   See also membership_decode, membership_viterbi, membership_train,
%   Zellmor_mex, bounded_subsets.
  caller = 'membership_generate';
  narginchk (5, Inf);
  options = model_options (caller, varargin, struct ('FinalWeights', []));
  [p, E, w] = model_parameters (caller, S, P, p, E, options.FinalWeights, 'p', 'E');
  if (~isnumeric (T) || ~isreal (T) || ~isvector (T) || any (T(:) ~= fix (T(:))) || any (T(:) < 1) ...
      || ~all (isfinite (T(:))))
    found = shape_text (T);
    if (isnumeric (T) && isreal (T) && isvector (T))
      bad = find (T(:) ~= fix (T(:)) | T(:) < 1 | ~isfinite (T(:)), 1);
      found = sprintf ('T(%d) = %g', bad, T(bad));
    end
    error ('membership_generate:badLength', ...
           'membership_generate: T must be a whole number of steps >= 1, or a vector of them; found %s', found);
  end
  lengths = double (T(:)');
  last = max (lengths);
  n = size (S, 1);
  Q = find (S(n, :));
  K = numel (Q);
  F = Zellmor_mex (last, repmat (p, 1, last), S, P, 1:last);
  predecessor = double (P(:, 1:K));
  weight = p(Q)';
  B = numel (lengths);
  state = zeros (B, 1);
  drawn = zeros (B, last);
  for t = last:-1:1
    ending = find (lengths == t);
    if (~isempty (ending))
      final = w' .* F(:, t)';
      if (~any (final > 0))
        error ('membership_generate:noSequences', ...
               'membership_generate: no sequence of %d steps stays in the family with weight, under p and FinalWeights', t);
      end
      state(ending) = draw_columns (repmat (final, numel (ending), 1));
    end
    active = find (lengths >= t);
    if (t == 1)
      % Every set after one step has one member: the symbol drawn.
      [~, drawn(active, 1)] = max (S(state(active), :), [], 2);
      break;
    end
    % Going back from step t: the symbol drawn at t is some Q(k) the set
    % holds, drawn again in it (the stay) or joining it from P(j, k).
    from = predecessor(state(active), :);
    held = from ~= -1;
    from(~held) = 1;
    stay = F(state(active), t - 1) .* weight .* held;
    arrive = reshape (F(from, t - 1), size (from)) .* weight .* held;
    term = draw_columns ([stay, arrive]);
    k = mod (term - 1, K) + 1;
    drawn(active, t) = Q(k);
    moved = term > K;
    state(active(moved)) = from(sub2ind (size (from), find (moved), k(moved)));
  end
  mask = (1:last) <= lengths';
  drawn = drawn';
  X = drawn(mask');
  Y = draw_columns (E(X, :))';
  symbols = mat2cell (X', 1, lengths);
  reports = mat2cell (Y, 1, lengths);
  if (isscalar (T))
    symbols = symbols{1};
    reports = reports{1};
  end
end

%!test
%! rng (3);
%! [reports, symbols] = membership_generate ([5 1 3], [0 0; 1 0; 0 1; 1 1], [-1 -1; 1 -1; -1 1; -1 -1], [0.5 0.5], eye (2));
%! assert (cellfun ('numel', symbols), [5 1 3]);
%! assert (reports, symbols);
%! assert (all (cellfun (@(x) all (x == x(1)), symbols)));
%!error id=membership_generate:badLength membership_generate (0, [0; 1], [-1; 1], 1, 1)
