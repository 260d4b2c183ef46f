function yes = is_real_array (x)
% Whether x holds real numbers: any numeric class or logical, not complex.
  yes = (isnumeric (x) || islogical (x)) && isreal (x);
end
