# Sourced by scripts that start an nginx of their own (Debian's nginx-light): unprivileged,
# in the foreground, one process, with its pid, log and temporary files in one folder.
#
#   private_nginx_conf DIR <<CONF ... CONF   writes DIR/nginx.conf; the text read goes in
#                                            its http block
#   nginx -c DIR/nginx.conf -p DIR &         starts it
private_nginx_conf() {
  local dir=$1
  mkdir -p "$dir"
  {
    cat <<CONF
daemon off;
master_process off;
worker_processes 1;
pid $dir/nginx.pid;
error_log $dir/error.log;
events { worker_connections 4096; }
http {
  access_log off;
  client_body_temp_path $dir/body;
  proxy_temp_path $dir/proxy;
  fastcgi_temp_path $dir/fastcgi;
  uwsgi_temp_path $dir/uwsgi;
  scgi_temp_path $dir/scgi;
CONF
    cat
    echo "}"
  } >"$dir/nginx.conf"
}
