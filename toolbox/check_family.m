function [ok, problems] = check_family (S, P)
%CHECK_FAMILY  Whether the forward modules read S and P as the family of states they list.
%   [ok, problems] = check_family (S, P) checks a membership matrix S and a
%   predecessor table P made anywhere (by hand, by other code, loaded from
%   a file) before they go to Zellmor_mex, Zellmor_raw_mex or
%   Zellmor_grad_mex. ok is true when the modules read them as a family: F(j)
%   is then the total weight of the symbol sequences whose running set of
%   distinct symbols is a row of S at every step and ends as row j.
%   problems is a cell array of char rows, one per problem found, in this
%   order; each begins with its identifier, check_family:<mnemonic>, and
%   names the rows and columns at fault and the fix:
%
%     notZeroOne          S holds entries other than 0 and 1 (the other
%                         checks then do not run)
%     duplicateStates     rows of S repeat a state (an entry of P may name
%                         any copy)
%     noEmptyState        S has no empty set, which the entries of P name
%                         where a row without a symbol is not a row
%     lastRowLacksSymbol  the last row lacks a symbol some row holds
%     predecessorsSize    P has other than n rows or fewer than K columns,
%                         K the symbols of the last row (further columns
%                         are ignored, as the modules ignore them)
%     predecessorMissing  an entry is -1 where its row holds the symbol
%     predecessorWhereLacking  an entry is not -1 where its row lacks it
%     predecessorWrong    an entry names neither a row equal to its row
%                         without the symbol nor, where that set is not a
%                         row, an empty row
%
%   Column k of P stands for the k-th symbol of the last row of S. A last
%   row whose entries of P are all -1 only lists the symbols and is never
%   entered: that is sound (bounded_subsets and downward_closure return
%   such a row). predecessor_table (S) builds a sound P wherever S passes.
%
%   [ok, problems] = check_family (S) checks S alone (notZeroOne to
%   lastRowLacksSymbol).
%
%   check_family (S, P), with no output, throws the first problem under its
%   identifier and returns nothing when there is none.
%
%   Example:
%     S = [0 0 0; 1 0 0; 1 1 0; 1 1 1];
%     [ok, problems] = check_family (S, [-1 -1 -1; 1 -1 -1; -1 2 -1; 1 1 3])
%     % ok = false: P(3, 1) is -1, but row 3, {1, 2}, holds symbol 1
%     check_family (S, predecessor_table (S))    % passes silently
%
%   See also predecessor_table, bounded_subsets, downward_closure, Zellmor_mex.
  narginchk (1, 2);
  problems = {};
  fault = zero_one_problem (S);
  if (~isempty (fault))
    problems{end+1} = ['check_family:notZeroOne: S ' fault '. Write each state as a row of 0 and 1 entries.'];
  else
    S = full (double (S));
    first = [];
    less = [];
    if (size (S, 1) > 0 && nargin > 1)
      [first, less] = state_lookup (S);
    elseif (size (S, 1) > 0)
      first = state_lookup (S);
    end
    found = state_problems (S, first);
    for p = 1:size (found, 1)
      problems{end+1} = ['check_family:' found{p, 1} ': ' found{p, 2}];
    end
    if (nargin > 1)
      problems = [problems, predecessor_problems(S, first, less, P)];
    end
  end
  problems = problems(:);
  if (nargout > 0)
    ok = isempty (problems);
  elseif (~isempty (problems))
    text = problems{1};
    colon = find (text == ':', 2);
    error (struct ('identifier', text(1:colon(2)-1), 'message', text));
  end
end

% The problems of P, checked against the rows of S ([first, E] = state_lookup (S)).
function problems = predecessor_problems (S, first, E, P)
  problems = {};
  n = size (S, 1);
  Q = [];
  if (n > 0)
    Q = find (S(n, :));
  end
  K = numel (Q);
  if (~(is_real_array (P) && ismatrix (P)) || size (P, 1) ~= n || size (P, 2) < K)
    if (~(isnumeric (P) || islogical (P)))
      found = ['P is a ' class(P)];
    elseif (~isreal (P))
      found = 'P is complex';
    else
      found = sprintf ('P is %d x %d', size (P, 1), size (P, 2));
    end
    problems{end+1} = sprintf (['check_family:predecessorsSize: %s; it must be a real matrix of n = %d rows ' ...
                                'and at least K = %d columns, one per symbol of the last row of S (further ' ...
                                'columns are ignored). predecessor_table (S) builds it.'], found, n, K);
    return;
  end
  if (n == 0 || K == 0)
    return;
  end
  P = full (double (P(:, 1:K)));
  holds = E ~= -1;
  unset = P == -1;
  missing = holds & unset;
  if (all (unset(n, :)))
    missing(n, :) = false;        % a last row that only lists the symbols
  end
  lacking = ~holds & ~unset;
  named = holds & ~unset;
  % The row each named entry must equal: S_j without the symbol, or, where
  % that set is not a row, the empty set (first copies; NaN where S has none).
  entries = P(named);
  meant = E(named);
  whole = entries == fix (entries) & entries >= 1 & entries <= n;
  right = false (size (entries));
  right(whole) = first(entries(whole)) == meant(whole);
  wrong = named;
  wrong(named) = ~right;
  problems = [problems, entry_problem(P, Q, missing, 'predecessorMissing', ...
      'is -1 where its row holds the symbol', ...
      ['The recursion skips the whole term, the steps that draw the symbol again included: name the row ' ...
       'of the state without the symbol, or the empty row where that set is not a row.'])];
  problems = [problems, entry_problem(P, Q, lacking, 'predecessorWhereLacking', ...
      'names a row where its row lacks the symbol', 'Set it to -1.')];
  meant_text = @(j, k) meant_row (E(j, k));
  problems = [problems, entry_problem(P, Q, wrong, 'predecessorWrong', ...
      'names neither the state of its row without the symbol nor, where that set is not a row, the empty set', ...
      'predecessor_table (S) builds the table.', meant_text)];
end

% One problem naming the first entries where at(j, k) is true, or none.
function problems = entry_problem (P, Q, at, mnemonic, what, fix, detail)
  problems = {};
  [j, k] = find (at);
  if (isempty (j))
    return;
  end
  [j, order] = sort (j);
  k = k(order);
  entries = cell (1, min (numel (j), 3));
  for e = 1:numel (entries)
    meant = '';
    if (nargin > 6)
      meant = ['; ' detail(j(e), k(e))];
    end
    entries{e} = sprintf ('P(%d, %d) = %.17g (symbol %d%s)', j(e), k(e), P(j(e), k(e)), Q(k(e)), meant);
  end
  listed = few_of (entries, numel (j));
  problems = {sprintf('check_family:%s: an entry of P %s: %s. Column k of P stands for the k-th symbol of the last row. %s', ...
                      mnemonic, what, listed, fix)};
end

function text = meant_row (row)
  if (isnan (row))
    text = 'the empty row is meant, and S has none';
  else
    text = sprintf ('row %d is meant', row);
  end
end

%!test
%! [ok, problems] = check_family ([0 0 0; 1 0 0; 1 1 0; 1 1 1], [-1 -1 -1; 1 -1 -1; -1 2 -1; 1 1 3]);
%! assert (! ok && numel (problems) == 1 && strncmp (problems{1}, "check_family:predecessorMissing: ", 33));
%!error id=check_family:noEmptyState check_family ([1 0; 0 1; 1 1])
