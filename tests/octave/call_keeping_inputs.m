## out = call_keeping_inputs (name, arg1, arg2, ...)
## Calls the function NAME and fails when the call changed any of its double
## arguments. The arguments share their data with the caller's variables, so
## a module writing into an input would show here; the bit patterns are kept
## in separate arrays so that -0, NaN payloads and the like count too.
function out = call_keeping_inputs (name, varargin)
  bits = @(x) typecast (x(:), "uint64");
  keep = cellfun (@(x) isa (x, "double") && isreal (x) && ! issparse (x), varargin);
  before = cellfun (bits, varargin(keep), "UniformOutput", false);
  out = feval (name, varargin{:});
  after = cellfun (bits, varargin(keep), "UniformOutput", false);
  assert (isequal (after, before), "%s changed one of its inputs", name);
endfunction
