function problem = zero_one_problem (S)
% '' when S is a real numeric or logical matrix of 0 and 1 entries; else
% what is wrong with it, as words that follow the argument's name.
  if (~(is_real_array (S) && ismatrix (S)))
    problem = 'must be a real matrix of 0 and 1 entries';
    return;
  end
  bad = find (S ~= 0 & S ~= 1);
  if (isempty (bad))
    problem = '';
    return;
  end
  [r, c] = ind2sub (size (S), bad(1));
  problem = sprintf ('must hold only 0 and 1; entry (%d, %d) is %.17g', r, c, full (double (S(r, c))));
  if (numel (bad) > 1)
    problem = sprintf ('%s (%d entries are neither 0 nor 1)', problem, numel (bad));
  end
end
