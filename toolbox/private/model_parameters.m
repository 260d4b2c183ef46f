function [p, E, w] = model_parameters (caller, S, P, p, E, w, p_name, E_name)
% Checks the model that caller is given: S and P a family (check_family's
% first problem as caller:badFamily), p (named p_name) a probability vector
% over the L symbols (caller:badProbabilities), E (named E_name) L x M with
% rows of probabilities (caller:badEmissions) and w the final weights, n
% elements >= 0, [] for ones (caller:badFinalWeights). Returns p as an
% L x 1 double, E as a double and w as an n x 1 double.
  [ok, problems] = check_family (S, P);
  if (~ok)
    error ([caller ':badFamily'], '%s: S and P are not a family the modules read as it stands: %s', ...
           caller, problems{1});
  end
  [n, L] = size (S);
  if (~is_real_array (p) || ~isvector (p) || numel (p) ~= L)
    error ([caller ':badProbabilities'], '%s: %s must be a vector of L = %d probabilities, one per column of S; found %s', ...
           caller, p_name, L, shape_text (p));
  end
  p = double (full (p(:)));
  fault = probability_fault (p', 1e-10);
  if (~isempty (fault))
    error ([caller ':badProbabilities'], '%s: %s must hold probabilities (each >= 0, summing to 1 within 1e-10); %s', ...
           caller, p_name, fault);
  end
  if (~is_real_array (E) || ~ismatrix (E) || size (E, 1) ~= L || size (E, 2) < 1)
    error ([caller ':badEmissions'], ['%s: %s must be L x M, L = %d rows (one per symbol, a column of S) and ' ...
                                      'a column per report; found %s'], caller, E_name, L, shape_text (E));
  end
  E = double (full (E));
  for s = 1:L
    fault = probability_fault (E(s, :), 1e-10);
    if (~isempty (fault))
      error ([caller ':badEmissions'], ['%s: row %d of %s must hold the probabilities of the reports of ' ...
                                        'symbol %d (each >= 0, summing to 1 within 1e-10); %s'], ...
             caller, s, E_name, s, fault);
    end
  end
  if (isempty (w))
    w = ones (n, 1);
  elseif (~is_real_array (w) || numel (w) ~= n || ~all (isfinite (w(:))) || any (w(:) < 0))
    found = shape_text (w);
    if (is_real_array (w) && numel (w) == n)
      bad = find (~isfinite (w(:)) | w(:) < 0, 1);
      found = sprintf ('element %d is %g', bad, w(bad));
    end
    error ([caller ':badFinalWeights'], ['%s: FinalWeights must hold n = %d weights, one per row of S, ' ...
                                         'each finite and >= 0; found %s'], caller, n, found);
  else
    w = double (full (w(:)));
  end
end

% '' when the row vector q holds probabilities summing to 1 within tolerance;
% else what is wrong, as words.
function fault = probability_fault (q, tolerance)
  fault = '';
  bad = find (~isfinite (q) | q < 0, 1);
  if (~isempty (bad))
    fault = sprintf ('entry %d is %.17g', bad, q(bad));
  elseif (abs (sum (q) - 1) > tolerance)
    fault = sprintf ('they sum to %.17g', sum (q));
  end
end
