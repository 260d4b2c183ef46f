function text = shape_text (x)
% What x is, for a message: 'a 3 x 2 double array', 'a 1 x 4 cell array'.
  dims = sprintf (' x %d', size (x));
  text = sprintf ('a %s %s array', dims(4:end), class (x));
  if (iscomplex (x))
    text = sprintf ('a %s complex %s array', dims(4:end), class (x));
  end
end
