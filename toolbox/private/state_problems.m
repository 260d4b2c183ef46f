function problems = state_problems (S, first)
% The problems of S, a double matrix of 0 and 1 entries, as a family of
% states, given first = state_lookup (S): a cell array of rows {mnemonic,
% text}, in this order, for those found: duplicateStates, noEmptyState,
% lastRowLacksSymbol. Each text says what is wrong and the fix.
  n = size (S, 1);
  problems = cell (0, 2);
  copies = find (first ~= (1:n)');
  if (~isempty (copies))
    pairs = arrayfun (@(r) sprintf ('row %d repeats row %d, %s', r, first(r), state_text (S(r, :))), ...
                      copies, 'UniformOutput', false);
    problems(end+1, :) = {'duplicateStates', ...
        sprintf(['%s: each copy counts its sequences again. Keep one row per state ' ...
                 '(an entry of P may name any copy).'], few_of (pairs))};
  end
  if (~any (all (S == 0, 2)))
    problems(end+1, :) = {'noEmptyState', ...
        ['S has no empty set (a row of zeros). Where a row without a symbol is not a row of S, its entry ' ...
         'of P names the empty row, whose weight is 0 at every step. Add the empty set as a row (row 1 ' ...
         'by convention, the row the transition modules leave out).']};
  end
  lacking = [];
  if (n > 0)
    lacking = find (any (S, 1) & ~S(n, :));
  end
  if (~isempty (lacking))
    symbols = few_of (arrayfun (@num2str, lacking, 'UniformOutput', false));
    if (numel (lacking) > 1)
      symbols = ['symbols ' symbols];
    else
      symbols = ['symbol ' symbols];
    end
    problems(end+1, :) = {'lastRowLacksSymbol', ...
        sprintf(['the last row of S (row %d) lacks %s, which other rows hold (row %d holds symbol %d): ' ...
                 'P has a column for each symbol of the last row alone, so no step draws the others. ' ...
                 'Put the set of every symbol in play last.'], ...
                n, symbols, find (S(:, lacking(1)), 1), lacking(1))};
  end
end
