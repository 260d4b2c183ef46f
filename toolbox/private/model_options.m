function values = model_options (caller, pairs, values)
% Reads the Name/Value pairs of the cell array pairs into the struct values,
% whose fields are the options with their defaults: a name matches its field
% without regard to case. A name that is not an option, or a last name
% without a value, is caller:badOption.
  names = fieldnames (values);
  if (mod (numel (pairs), 2) ~= 0)
    error ([caller ':badOption'], '%s: options come as Name, Value pairs; %d arguments follow the model', ...
           caller, numel (pairs));
  end
  for k = 1:2:numel (pairs)
    name = pairs{k};
    match = [];
    if (ischar (name) && isrow (name))
      match = find (strcmpi (name, names));
    end
    if (isempty (match))
      if (ischar (name))
        found = ['''' name ''''];
      else
        found = ['a ' class(name)];
      end
      error ([caller ':badOption'], '%s: option %d is %s; the options are %s', caller, (k + 1) / 2, found, ...
             strjoin (strcat ('''', names', ''''), ', '));
    end
    values.(names{match}) = pairs{k + 1};
  end
end
