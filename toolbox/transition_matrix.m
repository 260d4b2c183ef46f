function A = transition_matrix(S, w, list)
%TRANSITION_MATRIX  Sparse one-step transition matrix of the states of a membership matrix.
%   A = transition_matrix (S, w) returns the (n-1) x (n-1) sparse matrix of
%   one step between the states of the n x L membership matrix S (rows 2..n
%   of 0 and 1 entries; row 1, the empty state in the usual layout, takes no
%   part), each symbol c drawn with weight w(c). A(to, from) is the weight of
%   moving from row from+1 of S to row to+1:
%
%     - w(c) where row to+1 is row from+1 with symbol c added;
%     - the sum of w over the symbols of the state where both rows are the
%       same state (the diagonal, and rows that repeat), the weights added
%       in list order from 0;
%     - nothing stored where no symbol leads, or where the weights sum to
%       exactly 0.
%
%   With w the probabilities of drawing each symbol (summing to 1) and S
%   every subset of the symbols, each column sums to 1: A is the transition
%   matrix of a chain that collects symbols, and it is lower triangular in
%   the order all_subsets gives.
%
%   A = transition_matrix (S, w, list) adds the weights of the symbols of
%   list only (any vector, any numeric class), in its order; a symbol listed
%   twice adds its weight twice. By default every symbol is listed once.
%
%   A holds, bit for bit, what the transition-code pipeline gives wherever
%   that pipeline runs (S of at most 2148 rows):
%     counts = Ortesk_count_mex ([], S);
%     codes = Ortesk_slots_mex ([], S, counts);
%     A = Quivane_mex (zeros (1, n - 1), w, list(:), codes, cumsum (counts), "sparse")
%   but it is built straight from S, column by column, for S of up to 2^31 - 1
%   rows: every subset of 20 symbols (2^20 states, 11.5 million entries)
%   takes about a second.
%
%   Errors have identifiers transition_matrix:<reason>:
%     notZeroOne     an entry of S in rows 2..n is neither 0 nor 1
%     badWeights     w does not hold exactly L elements
%     badSymbol      a listed symbol is not a whole number from 1 to L
%     notRealDouble  S, w or list is not a real numeric or logical array
%   and notEnoughInputs, tooManyEntries, outOfMemory and interrupted, as the
%   module Quivane_states_mex that does the work names them.
%
%   Example (expected draws until every one of 3 symbols is seen):
%     S = all_subsets(3);
%     p = [0.5 0.3 0.2];
%     A = transition_matrix(S, p);
%     m = size(A, 1) - 1;                    % every state but the full one
%     t = (speye(m) - A(1:m, 1:m))' \ ones(m, 1);
%     1 + p * t([1 2 4])     % the first draw, then from {1}, {2} or {3}: 6.6548
%
%   See also all_subsets, Quivane_states_mex, Quivane_mex.
  if nargin < 2
    error('transition_matrix:notEnoughInputs', 'transition_matrix: give S and w (and optionally list)');
  end
  args = {S, w};
  if nargin > 2
    args{3} = list;
  end
  % A sparse argument is taken as its full form, which the module reads.
  for k = find(cellfun('issparse', args))
    args{k} = full(args{k});
  end
  try
    A = Quivane_states_mex(args{:});
  catch err
    module = 'Quivane_states_mex:';
    if ~strncmp(err.identifier, module, numel(module))
      rethrow(err);
    end
    % Octave opens the module's message with the module's name.
    message = regexprep(err.message, ['^' module ' '], '');
    error(['transition_matrix:' err.identifier(numel(module)+1:end)], 'transition_matrix: %s', message);
  end
end

%!assert (full (transition_matrix ([0 0; 1 0; 0 1; 1 1], [0.25 0.75])), [0.25 0 0; 0 0.75 0; 0.75 0.25 1])
%!error id=transition_matrix:notZeroOne transition_matrix ([0 0; 0.5 1], [1 1])
%!error <Input 2 \(w, the symbol weights\)> transition_matrix ([0 0; 1 1], [1 1 1])
