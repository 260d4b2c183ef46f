function text = state_text (row)
% The state of a 0/1 row as the set of its symbols: '{1, 3}', '{}'.
  symbols = arrayfun (@(s) sprintf ('%d', s), find (row), 'UniformOutput', false);
  text = ['{' strjoin(symbols, ', ') '}'];
end
