function c = draw_columns (W)
% One column of each row of W (weights >= 0, at least one positive per
% row), drawn with probability proportional to its weight, from one call of
% rand per row. c is a column of column numbers.
  C = cumsum (W, 2);
  c = sum (C <= rand (size (W, 1), 1) .* C(:, end), 2) + 1;
  % Rounding can put the point at the very end of a row: take its last
  % column of positive weight.
  [~, last] = max (fliplr (W > 0), [], 2);
  c = min (c, size (W, 2) + 1 - last);
end
