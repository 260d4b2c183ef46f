## id = error_identifier (name, arg1, arg2, ...)
## Calls the function NAME with the given arguments and returns the
## identifier of the error it raises, or "" when it returns normally.
function id = error_identifier (name, varargin)
  try
    feval (name, varargin{:});
    id = "";
  catch err
    id = err.identifier;
  end_try_catch
endfunction
