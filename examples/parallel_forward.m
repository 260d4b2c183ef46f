% parallel_forward.m  Independent forward recursions in worker processes.
%
%   octave-cli --no-history examples/parallel_forward.m
%
% The modules keep no state between calls, so independent sequences run
% unchanged in worker processes. Here each sequence has its own random
% observation weights over all subsets of L symbols. They run once in this
% process as one batch (a cell array of sequences in one call, whose
% threads take the sequences between them), and once split into a batch per
% worker over nproc workers with parcellfun from Octave's parallel package
% (Debian: octave-parallel); the two sets of results are compared bit for
% bit. Each worker gets a batch, not a sequence per call: a call's fixed
% cost (checks, plan, result) is then paid once per worker. The modules are looked up as in membership_demo.m: in MEX_MODULE_DIR, else
% in build/octave next to this folder.
%
% When MEX_CLUSTER_HOSTS names machines (comma-separated) that each run a
% server of the parallel package, the batch also runs across them with
% netcellfun, and those results are compared too:
%
%   MEX_CLUSTER_HOSTS=node1,node2 octave-cli --no-history examples/parallel_forward.m
%
% Each machine needs the module folder at the same path as this one (a
% shared file system, or the same build in the same place). The connections
% use TLS when MEX_CLUSTER_TLS is 1, and no authentication otherwise (see
% "Running across machines" in README.md).

module_dir = getenv('MEX_MODULE_DIR');
if isempty(module_dir)
  module_dir = fullfile(fileparts(mfilename('fullpath')), '..', 'build', 'octave');
end
addpath(module_dir);
if exist('Zellmor_mex') ~= 3
  error('parallel_forward: the modules were not found in %s; build them first.', module_dir);
end
pkg load parallel

% All subsets of L symbols and their predecessor table.
L = 12;
[S, P] = all_subsets(L);

T = 500;
sequences = arrayfun(@(k) rand(L, T), 1:16, 'UniformOutput', false);
forward = @(batch) Zellmor_mex(T, batch, S, P);

serial = forward(sequences);

% A batch per worker, in order, so that their results side by side are the
% whole batch's.
edges = round(linspace(0, numel(sequences), nproc + 1));
batches = arrayfun(@(w) sequences(edges(w) + 1:edges(w + 1)), 1:nproc, 'UniformOutput', false);

% The workers already share out the cores: OMP_NUM_THREADS=1 caps the
% module's threads per worker process. parcellfun keeps its workers for the
% session, each with the environment it was started with: they are started
% anew with the cap for this batch, and again without it once the
% environment is put back.
threads = getenv('OMP_NUM_THREADS');
setenv('OMP_NUM_THREADS', '1');
parcellfun_set_nproc(0);
workers = parcellfun(nproc, forward, batches, 'UniformOutput', false, 'VerboseLevel', 0);
workers = [workers{:}];
if isempty(threads)
  unsetenv('OMP_NUM_THREADS');
else
  setenv('OMP_NUM_THREADS', threads);
end
parcellfun_set_nproc(0);

fprintf('%d sequences over %d states, T = %d, in this process and in %d workers\n', numel(sequences), 2^L, T, ...
        nproc);
if ~isequal(serial, workers)
  error('parallel_forward: the workers'' results differ from the serial ones');
end
fprintf('results identical bit for bit\n');

hosts = getenv('MEX_CLUSTER_HOSTS');
if ~isempty(hosts)
  hosts = strsplit(hosts, ',');
  cluster = pconnect(hosts, struct('use_tls', strcmp(getenv('MEX_CLUSTER_TLS'), '1')));
  % Each server runs its share in as many worker processes as it has cores,
  % forked from its own session: that session gets the module folder and
  % the cap on the module's threads per worker process.
  reval(sprintf('addpath(''%s''); setenv(''OMP_NUM_THREADS'', ''1'');', make_absolute_filename(module_dir)), ...
        cluster(2:end));
  remote = netcellfun(cluster, forward, batches, 'UniformOutput', false, 'VerboseLevel', 0);
  remote = [remote{:}];
  sclose(cluster);
  fprintf('the same batches across the cluster of %s\n', strjoin(hosts, ', '));
  if ~isequal(serial, remote)
    error('parallel_forward: the cluster''s results differ from the serial ones');
  end
  fprintf('results identical bit for bit\n');
end
