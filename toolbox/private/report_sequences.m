function [Y, lengths, shape] = report_sequences (caller, reports, M)
% The reports given to caller, one sequence (a vector) or several (a cell
% array of vectors), checked to be whole numbers in 1..M
% (caller:badReports). Y (1 x sum (lengths)) holds them end to end, lengths
% (1 x B) the step count of each, and shape the size of the cell array,
% [] for one sequence.
  shape = [];
  if (iscell (reports))
    shape = size (reports);
    sequences = reports(:)';
  else
    sequences = {reports};
  end
  for b = 1:numel (sequences)
    y = sequences{b};
    where = 'reports';
    if (~isempty (shape))
      where = sprintf ('sequence %d of reports', b);
    end
    if (~is_real_array (y) || ~isvector (y) || isempty (y))
      error ([caller ':badReports'], '%s: %s must be a vector of at least one report (a row or a column); found %s', ...
             caller, where, shape_text (y));
    end
    bad = find (y ~= fix (y) | y < 1 | y > M | ~isfinite (y), 1);
    if (~isempty (bad))
      error ([caller ':badReports'], '%s: %s, step %d: found %.17g; reports are whole numbers in 1..M = %d, the columns of E', ...
             caller, where, bad, y(bad), M);
    end
    sequences{b} = double (full (y(:)'));
  end
  lengths = cellfun ('numel', sequences);
  Y = [sequences{:}];
  if (isempty (Y))
    Y = zeros (1, 0);
  end
end
