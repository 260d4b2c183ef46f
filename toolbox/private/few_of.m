function text = few_of (items, total)
% The first three texts of the cell array items, of total (default: all of
% them), joined for a message: 'a', 'a and b', 'a, b and c', or
% 'a, b, c and 4 more'.
  if (nargin < 2)
    total = numel (items);
  end
  shown = items(1:min (3, total));
  if (total > 3)
    text = sprintf ('%s, %s, %s and %d more', shown{:}, total - 3);
  elseif (total > 1)
    text = [strjoin(shown(1:end-1), ', ') ' and ' shown{end}];
  else
    text = shown{1};
  end
end
